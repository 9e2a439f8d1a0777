#include "storage/codepage.h"

namespace tolvana::storage {

int CodeOfChar(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<int>(character);
    for (std::size_t i = 0; i < detail::kHighCodes.size(); ++i)
        if (detail::kHighCodes[i] == character) return static_cast<int>(0x80 + i);
    return -1;
}

} // namespace tolvana::storage
