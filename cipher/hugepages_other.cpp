#include "cipher/hugepages.h"

namespace tolvana {

// This system takes no advice on page sizes.
void AdviseHugePages(void*, std::size_t) {}

} // namespace tolvana
