#include "cipher/hugepages.h"

#include <cstdint>
#include <sys/mman.h>

namespace tolvana {

// Faulting in a fresh buffer 2 MiB at a time instead of 4 KiB at a time saves
// most of the cost of a large result. Only whole huge pages inside the buffer
// are advised, and only for buffers of several of them.
void AdviseHugePages(void* start, std::size_t size) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    if (size < 4 * kHugePage) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
    if (last > first) // only advice: where it is refused, nothing changes
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace tolvana
