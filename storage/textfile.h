#pragma once

// Text files as the import reads them: the bytes of a file turned into the
// code page codes of the text they hold, whatever the editor that wrote them.
//
// - UTF-8, with or without a byte-order mark, when the whole file (after the
//   mark) decodes strictly as UTF-8: no overlong forms, no surrogates, nothing
//   above U+10FFFF, no cut-off sequence.
// - UTF-16, little- or big-endian, when the file starts with its byte-order
//   mark.
// - Every other file is code page 1252, one byte per character, as it always
//   was; every byte is a character there.
//
// A character that has no code page code is never replaced: the result names
// the first such character and where it stands.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tolvana::storage {

enum class TextEncoding { Utf8, Utf8WithBom, Utf16LittleEndian, Utf16BigEndian, CodePage };

struct UnmappableCharacter {
    // The character; U+FFFD stands for bytes that are no character at all (a
    // lone surrogate or a last odd byte in UTF-16).
    char32_t character = 0;
    // Counted in characters from the start of the text (after any mark).
    std::size_t position = 0;
    // The 1-based line it stands on; LF, CR LF and a lone CR each end a line.
    std::size_t line = 1;
};

struct DecodedText {
    TextEncoding encoding = TextEncoding::CodePage;
    std::string codes; // the whole text as codes; empty when `unmappable` is set
    std::optional<UnmappableCharacter> unmappable;
};

DecodedText DecodeTextFile(std::string_view bytes);

// The same for bytes the caller gives up: code page text keeps their memory,
// and UTF-8 and UTF-16 are decoded in place, since no character takes fewer
// bytes than its code.
DecodedText DecodeTextFile(std::string&& bytes);

// Decodes the UTF-8 sequence at `pos` of `bytes` strictly, by the rules above.
// Returns its length (1-4) and sets `character`, or returns 0 when the bytes
// there are no UTF-8.
std::size_t NextUtf8(std::string_view bytes, std::size_t pos, char32_t& character);

// Appends the UTF-8 form of the character `c` (up to U+10FFFF) to `out`.
void AppendUtf8(std::string& out, char32_t c);

} // namespace tolvana::storage
