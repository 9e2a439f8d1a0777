// The rules of the shared commands, once for the window, the page and the
// tool: what each gives, refuses or leaves alone.

#include "commands/commands.h"

#include <gtest/gtest.h>

namespace tolvana::commands {
namespace {

using Kind = Outcome::Kind;

// A character without a code is named with its line, counted by the box's
// own line break; a pair of surrogates is one character.
TEST(Commands, ACharacterWithoutACodeIsNamedWithItsLine) {
    Missing missing;
    EXPECT_FALSE(ToCodes(u"ett\r\ntv\u00e5\r\n\u0142", kClearLineBreak, missing));
    EXPECT_EQ(missing.character, U'\u0142');
    EXPECT_EQ(missing.line, 3u);
    // The same text in the cipher box counts its LF alone as a break: and
    // "\r\n" is two lines' worth only for the clear text.
    EXPECT_FALSE(ToCodes(u"a\nb\n\U0001F600", kCipherLineBreak, missing));
    EXPECT_EQ(missing.character, U'\U0001F600');
    EXPECT_EQ(missing.line, 3u);
    EXPECT_EQ(ToCodes(u"\u20ac\u00e5", kClearLineBreak, missing), std::string("\x80\xE5"));
}

TEST(Commands, EncryptAndDecryptRefuseWithTheCataloguesWords) {
    const Outcome cipher = Encrypt(std::u16string_view(u"H\u00e5"), ',');
    ASSERT_EQ(cipher.kind, Kind::Done);
    EXPECT_EQ(cipher.codes, "\n115,5\n351");
    const Outcome clear = Decrypt(std::u16string_view(u"\n115,5\n351"));
    ASSERT_EQ(clear.kind, Kind::Done);
    EXPECT_EQ(clear.codes, "H\xE5");

    const Outcome refused = Encrypt(std::u16string_view(u"\u0142"), ',');
    EXPECT_EQ(refused.kind, Kind::Refused);
    EXPECT_NE(refused.message.find("Texten kan inte krypteras"), std::string::npos);
    const Outcome bad = Decrypt(std::string_view("\n115,5\nabc"));
    EXPECT_EQ(bad.kind, Kind::Refused);
    EXPECT_NE(bad.message.find("\"abc\" på rad 3 är inget tal"), std::string::npos);
}

// A double quote ends a field, so a cipher text that holds one could never be
// read back whole from its file.
TEST(Commands, ASaveIsRefusedWhatItCouldNotGiveBack) {
    EXPECT_EQ(CheckSave(std::u16string_view(u"\n9")).kind, Kind::Done);
    EXPECT_EQ(CheckSave(std::u16string_view(u"\n9\"")).kind, Kind::Refused);
    EXPECT_EQ(CheckSave(std::u16string_view(u"\u0142")).kind, Kind::Refused);
}

// Opening gives the first field; an empty file changes nothing.
TEST(Commands, OpeningAndImportingReadFieldsAsTheProgramDoes) {
    EXPECT_EQ(OpenCipher("\"\n9\"\r\n\"\n10\"\r\n", "a.crp", "a.crp").codes, "\n9");
    EXPECT_EQ(OpenCipher("", "a.crp", "a.crp").kind, Kind::Nothing);
    EXPECT_EQ(OpenCipher("\"\"\r\n", "a.crp", "a.crp").codes, "");

    EXPECT_EQ(ImportText("ett, tv\xC3\xA5\r\ntre", "a.txt", "a.txt").codes, "etttv\xE5tre");
    EXPECT_EQ(ImportText("", "a.txt", "a.txt").kind, Kind::Nothing);
    const Outcome refused = ImportText("\xC5\x82", "a.txt", "a.txt");
    EXPECT_EQ(refused.kind, Kind::Refused);
    EXPECT_NE(refused.message.find("a.txt"), std::string::npos);
}

} // namespace
} // namespace tolvana::commands
