// The desktop's look: Windows' app mode as the registry gives it, a dark
// palette that reads, and a box frame that shows in high contrast.

#include "tests/support/fake_system.h"
#include "ui/platform/systemlook.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace tolvana::ui {
namespace {

const char kPersonalize[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

testing::FakeRegistry WithValue(std::uint32_t type, const std::string& bytes,
                                RegKey root = kHkeyCurrentUser) {
    testing::FakeRegistry registry;
    registry.keys[kPersonalize].root = root;
    registry.keys[kPersonalize].values["AppsUseLightTheme"] = {type, bytes};
    return registry;
}

TEST(AppsUseDarkTheme, OnlyTheUsersNumberZeroIsDark) {
    using namespace std::string_literals;
    testing::FakeRegistry dark = WithValue(kRegDword, "\0\0\0\0"s);
    EXPECT_TRUE(AppsUseDarkTheme(dark));
    EXPECT_TRUE(dark.openHandles.empty()); // the key is closed again
    testing::FakeRegistry light = WithValue(kRegDword, "\1\0\0\0"s);
    EXPECT_FALSE(AppsUseDarkTheme(light));
    testing::FakeRegistry high = WithValue(kRegDword, "\0\0\0\1"s);
    EXPECT_FALSE(AppsUseDarkTheme(high));
    testing::FakeRegistry text = WithValue(kRegSz, "0\0"s);
    EXPECT_FALSE(AppsUseDarkTheme(text));
    testing::FakeRegistry machine = WithValue(kRegDword, "\0\0\0\0"s, kHkeyLocalMachine);
    EXPECT_FALSE(AppsUseDarkTheme(machine));
    testing::FakeRegistry none;
    EXPECT_FALSE(AppsUseDarkTheme(none));
}

double Luminance(const QColor& c) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double Contrast(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(DarkPalette, EveryTextReadsOnItsBackground) {
    const QPalette dark = DarkPalette();
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase},
        {QPalette::Text, QPalette::Window},
    };
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        for (const auto& [text, background] : pairs)
            EXPECT_GE(Contrast(dark.color(group, text), dark.color(group, background)), 4.5)
                << text << " on " << background;
    }
    EXPECT_LT(Luminance(dark.color(QPalette::Window)), 0.1);
}

// In a high-contrast palette, white on black, a box's frame still shows.
TEST(FollowSystemLook, ABoxKeepsAVisibleFrameInHighContrast) {
    FollowSystemLook({});
    QPalette contrast;
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        contrast.setColor(role, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        contrast.setColor(role, Qt::white);
    QWidget window;
    window.setPalette(contrast);
    window.resize(200, 120);
    auto* box = new QPlainTextEdit(&window);
    box->setGeometry(20, 20, 150, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QImage surface = window.grab().toImage();
    const QColor frame = surface.pixelColor(20, 60);
    EXPECT_GE(Contrast(frame, Qt::black), 3.0) << frame.name().toStdString();
}

TEST(FollowSystemLook, ADarkLookIsFusionWithTheDarkPalette) {
    FollowSystemLook({.dark = true, .highContrast = true});
    EXPECT_NE(QApplication::palette().color(QPalette::Base), DarkPalette().color(QPalette::Base));
    FollowSystemLook({.dark = true});
    auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->baseStyle()->name().toLower(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Base), DarkPalette().color(QPalette::Base));
}

} // namespace
} // namespace tolvana::ui
