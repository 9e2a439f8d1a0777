#pragma once

// Limits on what the program takes in.

#include <cstdint>

namespace tolvana::ui {

// The largest file, in bytes, that the open and import commands read into a
// box. A larger file is refused before any of it is read, with a message that
// names its size and this maximum.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

} // namespace tolvana::ui
