#include "storage/textfile.h"

#include "storage/codepage.h"

#include <cstdint>

namespace tolvana::storage {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Turns characters into codes, counting lines, until the first character
// without a code.
class CodeWriter {
public:
    explicit CodeWriter(DecodedText& result, std::size_t sizeHint) : result_(result) {
        result_.codes.reserve(sizeHint);
    }

    // False after a character without a code; the result then names it.
    bool Put(char32_t character) {
        const int code = CodeOfChar(character);
        if (code < 0) {
            result_.codes.clear();
            result_.unmappable = UnmappableCharacter{character, position_, line_};
            return false;
        }
        if (character == '\r' || (character == '\n' && previous_ != '\r')) ++line_;
        previous_ = character;
        ++position_;
        result_.codes += static_cast<char>(code);
        return true;
    }

private:
    DecodedText& result_;
    std::size_t position_ = 0;
    std::size_t line_ = 1;
    char32_t previous_ = 0;
};

bool IsUtf8(std::string_view bytes) {
    char32_t ignored;
    for (std::size_t pos = 0; pos < bytes.size();) {
        // Runs of ASCII are the common case.
        if (static_cast<unsigned char>(bytes[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const std::size_t length = NextUtf8(bytes, pos, ignored);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

void DecodeUtf8(std::string_view bytes, DecodedText& result) {
    CodeWriter writer(result, bytes.size());
    char32_t character = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        pos += NextUtf8(bytes, pos, character); // checked whole already
        if (!writer.Put(character)) return;
    }
}

void DecodeUtf16(std::string_view bytes, bool bigEndian, DecodedText& result) {
    CodeWriter writer(result, bytes.size() / 2);
    const auto unit = [&](std::size_t pos) {
        const auto a = static_cast<unsigned char>(bytes[pos]);
        const auto b = static_cast<unsigned char>(bytes[pos + 1]);
        return static_cast<char32_t>(bigEndian ? a << 8 | b : b << 8 | a);
    };
    std::size_t pos = 0;
    for (; pos + 1 < bytes.size(); pos += 2) {
        char32_t character = unit(pos);
        if (character >= 0xD800 && character <= 0xDBFF && pos + 3 < bytes.size()) {
            const char32_t next = unit(pos + 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                character = 0x10000 + ((character - 0xD800) << 10) + (next - 0xDC00);
                pos += 2;
            }
        }
        if (character >= 0xD800 && character <= 0xDFFF) character = kReplacement;
        if (!writer.Put(character)) return;
    }
    if (pos < bytes.size()) writer.Put(kReplacement); // a last odd byte
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

} // namespace

std::size_t NextUtf8(std::string_view bytes, std::size_t pos, char32_t& character) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char first = byte(0);
    if (first < 0x80) {
        character = first;
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        character = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        character = first & 0x0F;
        if (first == 0xE0) low = 0xA0;  // no overlong forms
        if (first == 0xED) high = 0x9F; // no surrogates
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        character = first & 0x07;
        if (first == 0xF0) low = 0x90;  // no overlong forms
        if (first == 0xF4) high = 0x8F; // nothing above U+10FFFF
    } else {
        return 0; // a continuation byte, an overlong lead (C0, C1) or F5-FF
    }
    if (bytes.size() - pos < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
        character = character << 6 | (next & 0x3F);
    }
    return length;
}


DecodedText DecodeTextFile(std::string_view bytes) {
    DecodedText result;
    if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) {
        const bool bigEndian = bytes[0] == '\xFE';
        result.encoding =
            bigEndian ? TextEncoding::Utf16BigEndian : TextEncoding::Utf16LittleEndian;
        DecodeUtf16(bytes.substr(2), bigEndian, result);
        return result;
    }
    const bool bom = StartsWith(bytes, "\xEF\xBB\xBF");
    const std::string_view text = bom ? bytes.substr(3) : bytes;
    if (IsUtf8(text)) {
        result.encoding = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
        DecodeUtf8(text, result);
        return result;
    }
    // Code page 1252: every byte is its own code.
    result.encoding = TextEncoding::CodePage;
    result.codes.assign(bytes.data(), bytes.size());
    return result;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace tolvana::storage
