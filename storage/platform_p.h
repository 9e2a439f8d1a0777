#pragma once

// What the platform files (platform_posix.cpp, platform_win.cpp) share: the
// parts of their work that need no system call of their own. Private to them.

#include "storage/storageerror.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvana::storage::platform::detail {

// Reads a stream to its end, as ReadStream promises. `left` is what a file has
// left to read from where it stands (0 for a pipe or a terminal), and
// `readSome(buffer, room)` reads up to `room` bytes: the count read, 0 at the
// end; it throws for a failed read.
template <typename ReadSome>
std::string ReadToEnd(std::uint64_t left, std::uint64_t maximum, const std::string& name,
                      ReadSome readSome) {
    if (left > maximum) throw StorageError::TooLarge(name, left, maximum);
    // One byte more than the maximum tells a stream that is too long.
    const std::uint64_t most = std::min<std::uint64_t>(maximum, SIZE_MAX - 1) + 1;
    const auto room = [most](std::uint64_t wanted) {
        return static_cast<std::size_t>(std::min(most, wanted));
    };
    std::string bytes;
    bytes.resize(room(std::max<std::uint64_t>(left + 1, std::uint64_t{1} << 20)));
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) bytes.resize(room(std::uint64_t{2} * bytes.size()));
        const std::size_t got = readSome(bytes.data() + used, bytes.size() - used);
        if (got == 0) break;
        used += got;
        if (used > maximum) throw StorageError::TooLarge(name, used, maximum);
    }
    bytes.resize(used);
    return bytes;
}

} // namespace tolvana::storage::platform::detail
