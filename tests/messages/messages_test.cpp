// The catalogue's words: names, characters, sizes and every failure reason.

#include "messages/messages.h"

#include <gtest/gtest.h>

#include <set>

namespace tolvana::messages {
namespace {

using storage::StorageError;
using Reason = StorageError::Reason;
using Kind = StorageError::Kind;

TEST(Messages, ReadableSizes) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 byte"},
        {1023, "1023 byte"},
        {1024, "1 kB"},
        {1536, "1,5 kB"},
        {10 * 1024 + 512, "11 kB"},
        {std::uint64_t{64} << 20, "64 MB"},
        {(std::uint64_t{64} << 20) + 1, "64 MB"},
        {std::uint64_t{30} << 30, "30 GB"},
        {(std::uint64_t{5} << 40) / 2, "2,5 TB"},
        {(std::uint64_t{1024} << 20) - 1, "1 024 MB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(ReadableSize(bytes), text) << bytes;
}

TEST(Messages, EveryReasonInSwedish) {
    const std::pair<Reason, const char*> cases[] = {
        {Reason::NoPermission, "behörighet saknas"},
        {Reason::DiskFull, "disken är full"},
        {Reason::ReadOnlyFileSystem, "filsystemet är skrivskyddat"},
        {Reason::NotFound, "filen eller mappen finns inte"},
        {Reason::IsFolder, "det är en mapp"},
        {Reason::NotRegularFile, "det är ingen vanlig fil"},
        {Reason::ReceiverClosed, "mottagaren har stängt"},
        {Reason::Other, "systemfel 71"},
    };
    for (const auto& [reason, text] : cases)
        EXPECT_EQ(StorageReason(StorageError(Kind::WriteFailed, "/x", reason, 71)), text);

    EXPECT_EQ(StorageReason(StorageError::TooLarge("/x", std::uint64_t{30} << 30, 64 << 20)),
              "filen är 30 GB stor, och högst 64 MB kan läsas in");
    // Sizes that round alike are given exactly.
    EXPECT_EQ(StorageReason(StorageError::TooLarge("/x", (64 << 20) + 1, 64 << 20)),
              "filen är 67 108 865 byte stor, och högst 67 108 864 byte kan läsas in");
}

TEST(Messages, EveryControlCharacterHasItsOwnNameAndCode) {
    std::set<std::string> names;
    for (char32_t c = 0; c < 0x80; c = c == 0x1F ? 0x7F : c + 1) {
        const std::string name = ControlName(c);
        EXPECT_TRUE(name.ends_with(" (kod " + std::to_string(c) + ")")) << name;
        EXPECT_GT(name.size(), std::string(" (kod 1)").size() + 2) << name;
        EXPECT_TRUE(names.insert(name.substr(0, name.find(" (kod"))).second) << name;
    }
    EXPECT_EQ(ControlName(13), "vagnretur (kod 13)");
    EXPECT_EQ(ControlName(9), "tabb (kod 9)");
    EXPECT_EQ(ControlName(0x9D), "styrtecken (kod 157)");
    for (char32_t c : {U' ', U'a', U'å', char32_t(0xA0), char32_t(0x20AC)})
        EXPECT_EQ(ControlName(c), "");

    EXPECT_EQ(DescribeCharacter(U'ł', 3), "tecknet \"ł\" (U+0142) på rad 3");
    EXPECT_EQ(DescribeCharacter(0x85, 1), "tecknet styrtecken (kod 133) (U+0085) på rad 1");
    EXPECT_EQ(DescribeCharacter(0x1F600, 2), "tecknet \"😀\" (U+1F600) på rad 2");
    EXPECT_EQ(DescribeCharacter(0xD800, 1), "tecknet \"\uFFFD\" (U+D800) på rad 1");
    // Code page text: control characters named, long pieces cut short.
    EXPECT_EQ(Quoted("15\r3"), "\"15[vagnretur (kod 13)]3\"");
    EXPECT_EQ(Quoted("\x80\xE5"), "\"€å\"");
    EXPECT_EQ(Quoted(std::string(41, '7')), "\"" + std::string(40, '7') + "…\"");
}

// Names in another encoding than UTF-8 are shown, byte for byte, not hidden.
TEST(Messages, NamesThatAreNotUtf8ShowTheirBytes) {
    EXPECT_EQ(ShownName("/tmp/r\xC3\xA4k.crp"), "/tmp/räk.crp");
    EXPECT_EQ(ShownName("/tmp/r\xE4k.crp"), "/tmp/r\\xE4k.crp");
    EXPECT_EQ(ShownName("a\nb\x7F"), "a\\x0Ab\\x7F");
    EXPECT_EQ(ShownName("\xC2\x85"), "\\xC2\\x85"); // a control character of two bytes
    // Overlong forms, surrogates and cut sequences are not UTF-8 either.
    EXPECT_EQ(ShownName("\xC0\xAF"), "\\xC0\\xAF");
    EXPECT_EQ(ShownName("\xED\xA0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(ShownName("x\xE2\x82"), "x\\xE2\\x82");
    EXPECT_EQ(ShownName("\xF0\x9F\x98\x80"), "😀");
}

TEST(Messages, CipherErrors) {
    EXPECT_EQ(CannotEncrypt(U'ł', 2),
              "Texten kan inte krypteras: tecknet \"ł\" (U+0142) på rad 2 finns inte i "
              "teckentabellen.");
    EXPECT_EQ(CannotDecrypt(DecodeFailure{DecodeFailure::Reason::NotANumber, "abc", 3}),
              "Den krypterade texten kan inte dekrypteras: \"abc\" på rad 3 är inget tal.");
    EXPECT_EQ(CannotDecrypt(DecodeFailure{DecodeFailure::Reason::NotACode, "1000", 3}),
              "Den krypterade texten kan inte dekrypteras: talet \"1000\" på rad 3 motsvarar "
              "inget tecken.");
}

} // namespace
} // namespace tolvana::messages
