#pragma once

// The largest files the program reads, the same for the window and the web
// page. A larger file is refused before any of it is read, with a message that
// names its size and the maximum.
//
// Measured on the window's boxes: opening cipher text takes about 7 bytes of
// memory per file byte, while "Kryptera" takes about 42 bytes per clear
// character, since its cipher text is up to six bytes a character. So a text
// file is held to an eighth of a cipher file: whatever is imported can still
// be encrypted (about 0.5 s and 700 MB at the limit), saved, and opened again.

#include <cstdint>

namespace tolvana::storage {

// The largest ".crp" file that the open command reads into the cipher box.
inline constexpr std::uint64_t kMaxCipherFileBytes = std::uint64_t{128} << 20;

// The largest text file that the import command reads into the clear-text box.
inline constexpr std::uint64_t kMaxTextFileBytes = kMaxCipherFileBytes / 8;

} // namespace tolvana::storage
