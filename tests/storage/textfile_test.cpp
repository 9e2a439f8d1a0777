#include "storage/codepage.h"
#include "storage/textfile.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvana::storage {
namespace {

using namespace std::string_literals;
using Encoding = TextEncoding;

std::string Utf8(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string Utf16(const std::u32string& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    auto put = [&](char16_t unit) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    };
    for (char32_t c : text) {
        if (c < 0x10000) {
            put(static_cast<char16_t>(c));
        } else {
            put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

// Every code's character, in code order.
std::u32string AllCharacters() {
    std::u32string text;
    for (int code = 0; code < 256; ++code) text += CharOfCode(static_cast<unsigned char>(code));
    return text;
}

std::string AllCodes() {
    std::string codes;
    for (int code = 0; code < 256; ++code) codes += static_cast<char>(code);
    return codes;
}

void ExpectCodes(const std::string& bytes, Encoding encoding, const std::string& codes) {
    const DecodedText text = DecodeTextFile(bytes);
    EXPECT_EQ(text.encoding, encoding);
    EXPECT_FALSE(text.unmappable.has_value());
    EXPECT_EQ(text.codes, codes);
}

TEST(CodePageTest, EveryCodeIsACharacterAndBack) {
    for (int code = 0; code < 256; ++code) {
        const char16_t c = CharOfCode(static_cast<unsigned char>(code));
        EXPECT_EQ(CodeOfChar(c), code);
    }
    EXPECT_EQ(CharOfCode(0x80), u'\u20AC');
    EXPECT_EQ(CharOfCode(0x81), u'\u0081'); // unassigned in the code page: its control
    EXPECT_EQ(CodeOfChar(U'\u0080'), -1);   // 0x80 is the euro sign
    EXPECT_EQ(CodeOfChar(U'\u0142'), -1);
    EXPECT_EQ(CodeOfChar(U'\U0001F600'), -1);
}

// The same text in every form an editor may have saved it.
TEST(TextFileTest, ReadsTheTextInEveryEncoding) {
    const std::u32string words = U"Hej \u00C5sa, r\u00E4ksm\u00F6rg\u00E5s \u20AC\r\n";
    const std::string codes = "Hej \xC5sa, r\xE4ksm\xF6rg\xE5s \x80\r\n";
    std::string utf8;
    for (char32_t c : words) utf8 += Utf8(c);
    ExpectCodes(utf8, Encoding::Utf8, codes);
    ExpectCodes("\xEF\xBB\xBF" + utf8, Encoding::Utf8WithBom, codes);
    ExpectCodes(Utf16(words, false), Encoding::Utf16LittleEndian, codes);
    ExpectCodes(Utf16(words, true), Encoding::Utf16BigEndian, codes);
    ExpectCodes(codes, Encoding::CodePage, codes); // not UTF-8: code page bytes

    std::string everyCharacter;
    for (char32_t c : AllCharacters()) everyCharacter += Utf8(c);
    ExpectCodes(everyCharacter, Encoding::Utf8, AllCodes());
    ExpectCodes(Utf16(AllCharacters(), true), Encoding::Utf16BigEndian, AllCodes());
    ExpectCodes(AllCodes(), Encoding::CodePage, AllCodes());

    ExpectCodes("", Encoding::Utf8, "");
    ExpectCodes("\xEF\xBB\xBF", Encoding::Utf8WithBom, "");
    ExpectCodes("\xFF\xFE", Encoding::Utf16LittleEndian, "");
}

// Only a file that decodes strictly as UTF-8 from its first byte to its last is
// read as UTF-8; anything else is code page bytes, the mark included.
TEST(TextFileTest, AnythingButStrictUtf8IsCodePageBytes) {
    const std::string notUtf8[] = {
        "\xC0\xAF",         // overlong '/'
        "\xC1\xBF",         // overlong
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xF0\x80\x80\xAF", // overlong, four bytes
        "\xED\xA0\x80",     // a surrogate
        "\xED\xBF\xBF",     // a surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xF5\x80\x80\x80", // no such lead byte
        "\xC3",             // cut off at the end
        "\xE2\x82",         // cut off at the end
        "\x80",             // a lone continuation byte
        "\xC3\xA5\xC3",     // good, then cut off
        "\xC3\x28",         // lead byte without its continuation
        "\xFF\xFF",         // no mark of UTF-16 either
    };
    for (const std::string& bad : notUtf8) {
        SCOPED_TRACE(bad);
        const std::string bytes = "d\xC3\xA5 " + bad + " ok";
        ExpectCodes(bytes, Encoding::CodePage, bytes);
        ExpectCodes("\xEF\xBB\xBF" + bad, Encoding::CodePage, "\xEF\xBB\xBF" + bad);
    }
    // The limits themselves are good UTF-8 (with no code page code).
    for (const std::string& limit : {"\xED\x9F\xBF"s, "\xEE\x80\x80"s, "\xF4\x8F\xBF\xBF"s,
                                     "\xF0\x90\x80\x80"s, "\xE0\xA0\x80"s}) {
        SCOPED_TRACE(limit);
        const DecodedText text = DecodeTextFile(limit);
        EXPECT_EQ(text.encoding, Encoding::Utf8);
        EXPECT_TRUE(text.unmappable.has_value());
    }
    ExpectCodes("\xC2\x81\xC2\xA0\xC3\xBF", Encoding::Utf8, "\x81\xA0\xFF");
}

TEST(TextFileTest, NamesTheFirstCharacterWithoutACodeAndItsLine) {
    struct Case {
        std::string bytes;
        char32_t character;
        std::size_t position, line;
    };
    const Case cases[] = {
        {"a\r\nb\nc\rd " + Utf8(U'\u0142') + Utf8(U'\u20AC'), U'\u0142', 9, 4},
        {Utf8(U'\U0001F600'), U'\U0001F600', 0, 1},
        {"\n\n" + Utf8(U'\u0080'), U'\u0080', 2, 3}, // a control without a code
        {Utf16(U"ok\r\n\u0142", false), U'\u0142', 4, 2},
        {Utf16(U"\U0001F600", true), U'\U0001F600', 0, 1},
        {"\xFF\xFE"
         "a\0"
         "\x00\xD8"
         "b\0"s,
         0xFFFD, 1, 1}, // a lone surrogate
        {"\xFE\xFF"
         "\xDC\x00"s,
         0xFFFD, 0, 1}, // a lone low surrogate
        {"\xFF\xFE"
         "a\0"
         "b"s,
         0xFFFD, 1, 1}, // a last odd byte
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const DecodedText text = DecodeTextFile(c.bytes);
        ASSERT_TRUE(text.unmappable.has_value());
        EXPECT_EQ(text.unmappable->character, c.character);
        EXPECT_EQ(text.unmappable->position, c.position);
        EXPECT_EQ(text.unmappable->line, c.line);
        EXPECT_TRUE(text.codes.empty());
    }
}

} // namespace
} // namespace tolvana::storage
