#pragma once

// Advice to the system that a large buffer, about to be written front to back,
// is best backed by huge pages. One file per platform: where the system offers
// no such advice, nothing happens.

#include <cstddef>

namespace tolvana {

void AdviseHugePages(void* start, std::size_t size);

} // namespace tolvana
