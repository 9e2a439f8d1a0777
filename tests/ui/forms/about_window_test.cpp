// The About window: its load step, design, focus and keys, and its system
// information button.

#include "tests/support/design_font.h"
#include "tests/ui/forms/window_fixture.h"
#include "ui/forms/aboutwindow.h"
#include "ui/forms/buildinfo.h"
#include "ui/platform/systemtools.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace tolvana::testing {
namespace {

using AboutWindowTest = WindowTest;

TEST_F(AboutWindowTest, LoadStepSetsCaptionAndVersion) {
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->objectName(), "frmAbout");
    EXPECT_EQ(about->windowTitle(), "About Tolvana");
    // The version comes from the build: 1.0.0 for this release.
    const QString version = QStringLiteral("Version %1.%2.%3")
                                .arg(TOLVANA_VERSION_MAJOR)
                                .arg(TOLVANA_VERSION_MINOR)
                                .arg(TOLVANA_VERSION_PATCH);
    EXPECT_EQ(child<QLabel>(about, "lblVersion")->text(), version);
    EXPECT_EQ(child<QLabel>(about, "tolvana1")->text(), "Olmira");
}

TEST_F(AboutWindowTest, ToolWindowWithItsControlsInPlace) {
    if (!testing::DesignFontPresent()) GTEST_SKIP() << "the design font is not there";
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(about->geometry(), QRect(156, 129, 382, 237));
    EXPECT_EQ(about->windowType(), Qt::Tool); // no taskbar entry
    EXPECT_TRUE(about->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(about->windowFlags().testAnyFlags(Qt::WindowMinMaxButtonsHint));

    const std::pair<const char*, QRect> controls[] = {
        {"cmdOK", {283, 175, 84, 23}},         {"cmdSysInfo", {284, 205, 83, 23}},
        {"lblDescription", {70, 75, 259, 78}}, {"lblDisclaimer", {17, 175, 258, 55}},
        {"tolvana1", {88, 16, 259, 32}},       {"lblVersion", {70, 52, 259, 15}},
        {"Image1", {24, 8, 57, 32}},           {"cmdLicenses", {70, 130, 83, 23}},
    };
    for (const auto& [name, geometry] : controls) {
        QWidget* widget = child(about, name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), geometry) << name;
    }
    EXPECT_EQ(child<QLabel>(about, "Image1")->pixmap().size(), QSize(57, 32));
    EXPECT_FALSE(ui::AboutPicture().allGray());

    // White surface with an etched separator: grey at y 163 from x 6 to 376,
    // white below it.
    const QImage surface = about->grab().toImage();
    EXPECT_EQ(surface.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(surface.pixelColor(327, 151), QColor(Qt::white)); // inside lblDescription
    EXPECT_EQ(surface.pixelColor(5, 163), QColor(Qt::white));
    EXPECT_EQ(surface.pixelColor(6, 163), QColor(128, 128, 128));
    EXPECT_EQ(surface.pixelColor(376, 163), QColor(128, 128, 128));
    EXPECT_EQ(surface.pixelColor(100, 164), QColor(Qt::white));
}

// Made larger, the labels take the width, the description the height, the
// buttons keep to the lower right corner; it is never made smaller than the
// design.
TEST_F(AboutWindowTest, GrowsWithItsButtonsInTheCorner) {
    if (!testing::DesignFontPresent()) GTEST_SKIP() << "the design font is not there";
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    EXPECT_EQ(about->minimumSize(), QSize(382, 237));
    EXPECT_GT(about->maximumWidth(), 382);
    about->resize(600, 400);
    QApplication::processEvents();
    const int dx = 600 - 382, dy = 400 - 237;
    const std::pair<const char*, QRect> controls[] = {
        {"cmdOK", {283 + dx, 175 + dy, 84, 23}},
        {"cmdSysInfo", {284 + dx, 205 + dy, 83, 23}},
        {"lblDescription", {70, 75, 259 + dx, 78 + dy}},
        {"lblDisclaimer", {17, 175 + dy, 258 + dx, 55}},
        {"tolvana1", {88, 16, 259 + dx, 32}},
        {"lblVersion", {70, 52, 259 + dx, 15}},
        {"Image1", {24, 8, 57, 32}},
    };
    for (const auto& [name, geometry] : controls) {
        QWidget* widget = child(about, name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), geometry) << name;
    }
    const QImage surface = about->grab().toImage();
    EXPECT_EQ(surface.pixelColor(6 + dx, 163 + dy), QColor(128, 128, 128));
    EXPECT_EQ(surface.pixelColor(376 + dx, 163 + dy), QColor(128, 128, 128));
}

// The window follows the desktop's palette, a dark one as well as a light
// one, where it once stayed white.
TEST_F(AboutWindowTest, FollowsADarkPalette) {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Window, QColor(45, 45, 45));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    // Changed while the window is open, as a desktop changes its theme.
    QApplication::setPalette(dark);
    QApplication::processEvents();
    const QImage surface = about->grab().toImage();
    QApplication::setPalette(before);
    EXPECT_EQ(surface.pixelColor(2, 2), QColor(30, 30, 30));
    // The etched line's shadow, halfway between the text and its ground.
    for (QWidget* line : about->findChildren<QWidget*>(QStringLiteral("Line1"))) {
        if (line->property("index").toInt() != 1) continue;
        EXPECT_EQ(surface.pixelColor(line->geometry().topLeft() + QPoint(2, 0)),
                  QColor(130, 130, 130));
    }
    EXPECT_EQ(child<QLabel>(about, "lblDescription")
                  ->palette()
                  .color(child<QLabel>(about, "lblDescription")->foregroundRole()),
              QColor(230, 230, 230));
}

TEST_F(AboutWindowTest, FocusStartsOnOkAndTabVisitsOnlyTheButtons) {
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(activate(about));
    EXPECT_EQ(QApplication::focusWidget(), child(about, "cmdOK"));
    for (const char* next : {"cmdSysInfo", "cmdLicenses", "cmdOK"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), child(about, next)) << next;
    }
}

TEST_F(AboutWindowTest, DescriptionNamesTheCommitAndTheLicence) {
    windows.showAbout();
    const QString text = child<QLabel>(windows.aboutWindow(), "lblDescription")->text();
    // The commit comes from git when CMake configured the build.
    const QString commit = ui::BuildCommit();
    EXPECT_TRUE(commit == QStringLiteral("okänd") ||
                QRegularExpression(QStringLiteral("^[0-9a-f]{40}$")).match(commit).hasMatch())
        << commit.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Built from commit ") + commit.left(12) + u'.'));
    EXPECT_TRUE(text.contains(QStringLiteral("Licence: LicenseRef-proprietary.")));
}

TEST_F(AboutWindowTest, LicensesShowsEveryNoticeTheProgramCarries) {
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(activate(about));
    QTest::mouseClick(child(about, "cmdLicenses"), Qt::LeftButton);
    QTest::mouseClick(child(about, "cmdLicenses"), Qt::LeftButton); // the same one again
    const QList<QDialog*> shown = about->findChildren<QDialog*>(QStringLiteral("frmLicenses"));
    ASSERT_EQ(shown.size(), 1);
    QDialog* licenses = shown.front();
    EXPECT_TRUE(licenses->isVisible());
    EXPECT_EQ(licenses->windowTitle(), QStringLiteral("Licenser"));
    auto* box = child<QPlainTextEdit>(licenses, "txtLicenses");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isReadOnly());
    const QString text = box->toPlainText();
    EXPECT_EQ(text, ui::LicenseNotices());

    // Tolvana's own notice first, then Qt's, of the very version built with,
    // with the whole of the LGPL and of the GPL that it builds on.
    EXPECT_TRUE(text.startsWith(QStringLiteral("Tolvana %1.%2.%3\n")
                                    .arg(TOLVANA_VERSION_MAJOR)
                                    .arg(TOLVANA_VERSION_MINOR)
                                    .arg(TOLVANA_VERSION_PATCH)));
    EXPECT_TRUE(text.contains(QStringLiteral("Built from commit ") + ui::BuildCommit()));
    EXPECT_TRUE(text.contains(QStringLiteral("LicenseRef-proprietary")));
    const auto at = [&](const QString& part) { return text.indexOf(part); };
    const qsizetype qt = at(QStringLiteral("\nQt " QT_VERSION_STR "\n"));
    const qsizetype lgpl = at(QStringLiteral("GNU LESSER GENERAL PUBLIC LICENSE"));
    const qsizetype gpl = at(QStringLiteral("                    GNU GENERAL PUBLIC LICENSE"));
    EXPECT_GT(qt, 0);
    EXPECT_GT(lgpl, qt);
    EXPECT_GT(gpl, lgpl);
    EXPECT_TRUE(text.contains(QStringLiteral("qtbase-everywhere-src-" QT_VERSION_STR ".tar.xz")));
    EXPECT_TRUE(text.contains(QStringLiteral("<https://www.gnu.org/licenses/why-not-lgpl.html>")));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("@[A-Z_]+@"))))
        << "a placeholder left in a notice";

    QTest::mouseClick(child(licenses, "cmdClose"), Qt::LeftButton);
    EXPECT_FALSE(licenses->isVisible());
    EXPECT_EQ(windows.aboutWindow(), about);
}

TEST_F(AboutWindowTest, OkEnterAndEscCloseTheWindow) {
    const auto key = [](Qt::Key k) {
        return [k](QWidget*) { QTest::keyClick(QApplication::focusWidget(), k); };
    };
    const std::pair<const char*, std::function<void(QWidget*)>> ways[] = {
        {"OK", [](QWidget* w) { QTest::mouseClick(child(w, "cmdOK"), Qt::LeftButton); }},
        {"Return", key(Qt::Key_Return)},
        {"Enter", key(Qt::Key_Enter)},
        {"Esc", key(Qt::Key_Escape)},
    };
    for (const auto& [name, close] : ways) {
        windows.showAbout();
        ASSERT_TRUE(activate(windows.aboutWindow())) << name;
        close(windows.aboutWindow());
        EXPECT_EQ(windows.aboutWindow(), nullptr) << name;
        flushDeletes();
        EXPECT_EQ(windowsNamed(QStringLiteral("frmAbout")), 0) << name;
    }
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(tools.starts.empty());
}

TEST_F(AboutWindowTest, AltSWithoutToolShowsTheMessageAndKeepsTheWindow) {
    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(activate(about));
    QTest::keyClick(about, Qt::Key_S, Qt::AltModifier);
    // An access key presses its button the way a click does, a moment later.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.empty(); }, 1000));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].title, "Tolvana");
    EXPECT_EQ(dialogs.messages[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(dialogs.messages[0].icon, ui::Dialogs::Icon::None);
    EXPECT_EQ(windows.aboutWindow(), about);
}

TEST_F(AboutWindowTest, SystemInfoStartsTheToolAtEachPress) {
    const std::string tool = "C:\\Tools\\msinfo32.exe";
    tools.fakeRegistry.setString("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", tool);
    tools.files = {tool};
    windows.showAbout();
    QTest::mouseClick(child(windows.aboutWindow(), "cmdSysInfo"), Qt::LeftButton);
    QTest::mouseClick(child(windows.aboutWindow(), "cmdSysInfo"), Qt::LeftButton);
    EXPECT_EQ(tools.starts, (std::vector<std::string>{tool, tool}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(AboutWindowTest, ProgramsOwnToolsFindNoToolWithoutARegistry) {
    ui::SecondaryWindows real(dialogs, ui::DefaultSystemTools());
    real.showAbout();
    QTest::mouseClick(child(real.aboutWindow(), "cmdSysInfo"), Qt::LeftButton);
    ASSERT_EQ(dialogs.messages.size(), 1u);

    // Their file test finds files, not folders.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("MSINFO32.EXE")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ui::SystemTools& system = ui::DefaultSystemTools();
    EXPECT_TRUE(system.fileExists(file.fileName().toStdString()));
    EXPECT_FALSE(system.fileExists(dir.path().toStdString()));
    EXPECT_FALSE(system.fileExists(dir.filePath(QStringLiteral("x.exe")).toStdString()));
}

} // namespace
} // namespace tolvana::testing
