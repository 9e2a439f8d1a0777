#pragma once

// tolvana-cipher's conversions: code page codes to UTF-8, and cipher text
// decoded a piece at a time on both processors, so that a large text is never
// held whole more than once.

#include "cipher/cipher.h"
#include "storage/files.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::tool {

// The size of code page codes as UTF-8.
std::size_t Utf8Size(std::string_view codes);

// Appends code page codes to `out` as UTF-8.
void AppendCodesAsUtf8(std::string_view codes, std::string& out);

// A clear text in pieces, in order, and the memory that holds them.
struct ClearPieces {
    std::deque<std::string> memory; // its strings never move
    std::vector<std::string_view> pieces;
};

// Dekryptera on a whole cipher text held in memory, on both processors for a
// large one, each piece's codes in the output's form: UTF-8 unless
// `codePage`. Any failure is the same, its line too, as from one call on the
// whole.
std::optional<ClearPieces> DecryptInTwo(std::string_view cipher, bool codePage,
                                        DecodeFailure& failure);

// The first bytes of a named file that is no .crp file by its name, read
// until the first byte other than a blank, and the file to read the rest from.
struct OpenedCipher {
    storage::PieceFile file;
    std::string start;
};

// The cipher text of the named file `path`, read and decoded a piece of about
// 1 MB at a time on both processors, so that it is never held whole; each
// piece's result is kept in the output's form. Any failure is the same, its
// line too, as from Dekryptera on the whole text. Throws StorageError when
// the file cannot be read.
std::optional<ClearPieces> DecryptFile(const std::string& path, OpenedCipher opened, bool codePage,
                                       DecodeFailure& failure);

} // namespace tolvana::tool
