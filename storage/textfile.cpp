#include "storage/textfile.h"

#include "storage/codepage.h"

#include <cstdint>
#include <cstring>

namespace tolvana::storage {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Turns characters into codes at `out`, until the first character without a
// code. Writing never overtakes reading, so the codes may be written over the
// bytes being decoded. Lines are only counted when a character has no code.
class CodeWriter {
public:
    CodeWriter(DecodedText& result, char* out) : result_(result), begin_(out), out_(out) {}

    // False after a character without a code; the result then names it.
    bool Put(char32_t character) {
        const int code = CodeOfChar(character);
        if (code < 0) {
            const std::string_view before(begin_, static_cast<std::size_t>(out_ - begin_));
            result_.unmappable = UnmappableCharacter{character, before.size(), LineAfter(before)};
            return false;
        }
        *out_++ = static_cast<char>(code);
        return true;
    }

    // Code page bytes that are their own codes (ASCII), as they are.
    void PutSame(const char* bytes, std::size_t count) {
        std::memmove(out_, bytes, count);
        out_ += count;
    }

    std::size_t written() const { return static_cast<std::size_t>(out_ - begin_); }

private:
    // The 1-based line after `text`: LF, CR LF and a lone CR each end a line.
    static std::size_t LineAfter(std::string_view text) {
        std::size_t line = 1;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ++line;
        return line;
    }

    DecodedText& result_;
    char* begin_;
    char* out_;
};

// The length of the run of ASCII bytes at the start of `bytes`.
std::size_t AsciiRun(std::string_view bytes) {
    std::size_t run = 0;
    for (; bytes.size() - run >= 8; run += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + run, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80) ++run;
    return run;
}

bool IsUtf8(std::string_view bytes) {
    char32_t ignored;
    for (std::size_t pos = 0; pos < bytes.size();) {
        // Runs of ASCII are the common case.
        pos += AsciiRun(bytes.substr(pos));
        if (pos == bytes.size()) break;
        const std::size_t length = NextUtf8(bytes, pos, ignored);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

// Decodes `bytes` (checked whole already) into codes from `out` on, which may
// be `bytes` itself.
void DecodeUtf8(std::string_view bytes, char* out, DecodedText& result) {
    CodeWriter writer(result, out);
    char32_t character = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t run = AsciiRun(bytes.substr(pos));
        writer.PutSame(bytes.data() + pos, run);
        pos += run;
        if (pos == bytes.size()) break;
        pos += NextUtf8(bytes, pos, character);
        if (!writer.Put(character)) return;
    }
    result.codes.resize(writer.written());
}

void DecodeUtf16(std::string_view bytes, bool bigEndian, char* out, DecodedText& result) {
    CodeWriter writer(result, out);
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
    if (pos < bytes.size() && !writer.Put(kReplacement)) return; // a last odd byte
    result.codes.resize(writer.written());
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

DecodedText DecodeTextFile(std::string&& bytes) {
    DecodedText result;
    // The codes are written over the bytes, behind the reading.
    result.codes = std::move(bytes);
    const std::string_view all = result.codes;
    if (StartsWith(all, "\xFF\xFE") || StartsWith(all, "\xFE\xFF")) {
        const bool bigEndian = all[0] == '\xFE';
        result.encoding =
            bigEndian ? TextEncoding::Utf16BigEndian : TextEncoding::Utf16LittleEndian;
        DecodeUtf16(all.substr(2), bigEndian, result.codes.data(), result);
    } else {
        const bool bom = StartsWith(all, "\xEF\xBB\xBF");
        const std::string_view text = bom ? all.substr(3) : all;
        if (!IsUtf8(text)) return result; // code page 1252: every byte is its own code
        result.encoding = bom ? TextEncoding::Utf8WithBom : TextEncoding::Utf8;
        DecodeUtf8(text, result.codes.data(), result);
    }
    if (result.unmappable) result.codes.clear();
    return result;
}

DecodedText DecodeTextFile(std::string_view bytes) { return DecodeTextFile(std::string(bytes)); }

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
