#include "ui/texts/codepage.h"

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

TEST(CodePage, EveryCodeIsACharacterThatConvertsBack) {
    std::string codes;
    for (int c = 0; c < 256; ++c) codes += static_cast<char>(c);
    const QString text = FromCodes(codes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(ToCodes(text), codes);
    // No two codes share a character.
    for (int c = 0; c < 256; ++c) EXPECT_EQ(CodeOfChar(text[c]), c);
}

TEST(CodePage, IsWindows1252WithTheUnassignedBytesAsControls) {
    EXPECT_EQ(CharOfCode(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(CharOfCode(0x9F), QChar(0x0178)); // Y with diaeresis
    EXPECT_EQ(CharOfCode(0xE4), QChar(u'ä'));
    EXPECT_EQ(CharOfCode(0xA0), QChar(0x00A0)); // non-breaking space
    for (int unassigned : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(CharOfCode(static_cast<unsigned char>(unassigned)), QChar(unassigned));
}

TEST(CodePage, NeverReplacesACharacterWithoutCode) {
    // Look-alikes (ł for l, → for >) and the C1 controls that the code page
    // gives to printable characters have no code.
    struct Case {
        QString text;
        qsizetype position;
    };
    const Case cases[] = {
        {QStringLiteral("abcł"), 3}, {QStringLiteral("→"), 0},
        {QString(QChar(0x80)), 0},   {QStringLiteral("a") + QChar(0x9E), 1},
        {QStringLiteral("ok 😀"), 3}, {QString(QChar(0xD800)), 0},
    };
    for (const Case& c : cases) {
        qsizetype bad = -1;
        EXPECT_EQ(ToCodes(c.text, &bad), std::nullopt) << c.text.toStdString();
        EXPECT_EQ(bad, c.position) << c.text.toStdString();
    }
}

} // namespace
} // namespace tolvana::ui
