// DecodeTextFile over arbitrary bytes. Whatever the encoding it settles on,
// the codes it returns are the file's text exactly: written back in that
// encoding they give the file's bytes again. A code page file is its bytes
// unchanged, and a refused character really has no code.

#include "fuzz/check.h"
#include "storage/codepage.h"
#include "storage/files.h"
#include "storage/textfile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using tolvana::fuzz::PrintBytes;
using namespace tolvana::storage;

namespace {

void PutUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The codes written back in `encoding`, with the mark it had.
std::string Encode(std::string_view codes, TextEncoding encoding) {
    std::string out;
    switch (encoding) {
    case TextEncoding::CodePage: return std::string(codes);
    case TextEncoding::Utf8WithBom: out = "\xEF\xBB\xBF"; [[fallthrough]];
    case TextEncoding::Utf8:
        for (char code : codes) PutUtf8(out, CharOfCode(static_cast<unsigned char>(code)));
        return out;
    case TextEncoding::Utf16LittleEndian:
    case TextEncoding::Utf16BigEndian: {
        const bool big = encoding == TextEncoding::Utf16BigEndian;
        out = big ? "\xFE\xFF" : "\xFF\xFE";
        for (char code : codes) {
            const char16_t c = CharOfCode(static_cast<unsigned char>(code));
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            out += big ? high : low;
            out += big ? low : high;
        }
        return out;
    }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const DecodedText text = DecodeTextFile(bytes);

    if (text.unmappable) {
        TOLVANA_CHECK(text.codes.empty());
        TOLVANA_CHECK(text.encoding != TextEncoding::CodePage);
        TOLVANA_CHECK(CodeOfChar(text.unmappable->character) < 0);
        TOLVANA_CHECK(text.unmappable->character <= 0x10FFFF);
        TOLVANA_CHECK(text.unmappable->line <= text.unmappable->position + 1);
        return 0;
    }
    if (Encode(text.codes, text.encoding) != bytes) {
        PrintBytes("file", bytes);
        PrintBytes("codes", text.codes);
        TOLVANA_CHECK(!"the codes do not give the file back");
    }

    // The import then reads fields from the codes; that always ends.
    InputFile fields = FieldsOf(text.codes, "fuzz");
    std::size_t calls = 0;
    while (!fields.AtEnd()) {
        fields.ReadField();
        TOLVANA_CHECK(++calls <= text.codes.size());
    }
    return 0;
}
