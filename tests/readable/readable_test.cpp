// Every caption, label, button text and menu text of the three windows shows
// whole at the design's geometry, in the program's font, and in fonts from 8
// to 16 points, where the windows grow to fit their texts. ctest runs this
// program at several scale factors (QT_SCALE_FACTOR) and font resolutions
// (QT_FONT_DPI): the geometry is in logical pixels, but the glyphs are hinted
// and rounded at device pixels, so a text that just fits at one scale can be
// cut at another.

#include "tests/support/fake_system.h"
#include "tests/support/password_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/aboutwindow.h"
#include "ui/forms/helpwindow.h"
#include "ui/forms/mainwindow.h"
#include "ui/texts/designfont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

namespace tolvana::ui {
namespace {

// A text as it is drawn: an access-key marker "&" is not shown, "&&" is one "&".
QString Shown(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

int WidthOf(const QFont& font, const QString& text) {
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

int HeightOf(const QFont& font) { return int(std::ceil(QFontMetricsF(font).height())); }

void ExpectButtonFits(const QPushButton* button) {
    const QString text = Shown(button->text());
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault() || button->isDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    // The size the style needs around a text of this size: its frame and margins.
    const QSize needed = button->style()->sizeFromContents(
        QStyle::CT_PushButton, &option,
        QSize(WidthOf(button->font(), text), HeightOf(button->font())), button);
    EXPECT_LE(needed.width(), button->width())
        << button->objectName().toStdString() << " \"" << text.toStdString() << "\"";
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    EXPECT_LE(HeightOf(button->font()), contents.height()) << button->objectName().toStdString();
}

// The height the label's text takes, laid out as the label lays it out.
int LaidOutHeight(const QLabel* label, int width) {
    const QFontMetricsF metrics(label->font());
    qreal height = 0;
    for (const QString& line : label->text().split(u'\n')) {
        QTextLayout layout(line, label->font());
        QTextOption option;
        option.setWrapMode(label->wordWrap() ? QTextOption::WordWrap : QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(width);
            height += row.height();
        }
        layout.endLayout();
    }
    return int(std::ceil(height));
}

void ExpectLabelFits(const QLabel* label) {
    if (label->text().isEmpty()) return; // a picture
    const QRect contents = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
    const std::string name = label->objectName().toStdString();
    for (const QString& line : label->text().split(u'\n')) {
        // A wrapping label breaks lines between words, never inside one.
        const QStringList pieces =
            label->wordWrap() ? line.split(u' ', Qt::SkipEmptyParts) : QStringList{line};
        for (const QString& piece : pieces)
            EXPECT_LE(WidthOf(label->font(), piece), contents.width())
                << name << " \"" << piece.toStdString() << "\"";
    }
    EXPECT_LE(LaidOutHeight(label, contents.width()), contents.height())
        << name << " \"" << label->text().toStdString() << "\"";
}

// Checks every button and label of `window`; returns how many it checked.
int ExpectControlsFit(const QWidget* window) {
    int checked = 0;
    for (const QPushButton* button : window->findChildren<QPushButton*>()) {
        ExpectButtonFits(button);
        ++checked;
    }
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->text().isEmpty()) continue;
        ExpectLabelFits(label);
        ++checked;
    }
    return checked;
}

TEST(DesignFont, IsAnElevenPixelSansSerifThatIsInstalled) {
    const QFontInfo info(QApplication::font());
    // Arial, with the same widths, where Liberation Sans is missing (Windows).
    EXPECT_TRUE(info.family() == "Liberation Sans" || info.family() == "Arial")
        << info.family().toStdString() << ": install fonts-liberation2";
    EXPECT_EQ(info.pixelSize(), 11);
    EXPECT_EQ(QApplication::font(), DesignFont());
}

// The main window's captions and menus are whole, and no control covers
// another or runs past the window's edge.
void ExpectMainWindowReadable() {
    testing::ScriptedDialogs dialogs;
    testing::PasswordFolder passwords;
    MainWindow window(Services{dialogs, passwords.places(), [] { return ','; }});
    window.show();
    EXPECT_EQ(ExpectControlsFit(&window), 5);

    const QWidget* client = window.centralWidget();
    const auto at = [client](const char* name) {
        return client->findChild<QWidget*>(QLatin1String(name))->geometry();
    };
    const char* const stacked[] = {"EtikSkrivin1", "TextRenText", "EtikKrypterad", "TextKrypterad",
                                   "KKnapKryptera"};
    for (int i = 0; i + 1 < int(std::size(stacked)); ++i)
        EXPECT_LT(at(stacked[i]).bottom(), at(stacked[i + 1]).top()) << stacked[i];
    EXPECT_LT(at("KKnapKryptera").right(), at("SkapaLosen").left());
    EXPECT_LT(at("SkapaLosen").right(), at("KKnappDekryptera").left());
    for (const QWidget* control : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(client->rect().contains(control->geometry()))
            << control->objectName().toStdString();

    // The menu bar holds both menus on one row, inside the window.
    QMenuBar* bar = window.menuBar();
    EXPECT_LE(bar->sizeHint().width(), window.width());
    for (QAction* menu : bar->actions()) {
        const QRect place = bar->actionGeometry(menu);
        EXPECT_LE(place.right(), bar->width()) << menu->text().toStdString();
        EXPECT_LE(WidthOf(bar->font(), Shown(menu->text())), place.width())
            << menu->text().toStdString();
        // A menu list is as wide as its widest item and its shortcut.
        QMenu* list = menu->menu();
        for (QAction* item : list->actions()) {
            const int needed = WidthOf(list->font(), Shown(item->text()));
            EXPECT_LE(needed, list->sizeHint().width()) << item->text().toStdString();
        }
    }
}

void ExpectAboutWindowReadable() {
    testing::ScriptedDialogs dialogs;
    testing::FakeSystemTools tools;
    AboutWindow window(dialogs, tools);
    window.show();
    // OK, "System Info...", "Licenser…", the description, the notice, the
    // title, the version.
    EXPECT_EQ(ExpectControlsFit(&window), 7);
    for (const QWidget* control : window.findChildren<QWidget*>())
        EXPECT_TRUE(window.rect().contains(control->geometry()))
            << control->objectName().toStdString();
}

void ExpectHelpWindowReadable() {
    testing::PasswordFolder passwords;
    HelpWindow window(passwords.places());
    window.show();
    EXPECT_EQ(ExpectControlsFit(&window), 0); // only the text box, which wraps
    auto* box = window.findChild<QPlainTextEdit*>(QStringLiteral("TxtHelp"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    // Wrapped at the box's width, no line runs under its edge; a text taller
    // than the box scrolls.
    EXPECT_LE(box->document()->size().width(), box->viewport()->width() + 1);
    EXPECT_NE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST(Readable, MainWindowCaptionsAndMenus) { ExpectMainWindowReadable(); }

TEST(Readable, AboutWindowLabelsAndButtons) { ExpectAboutWindowReadable(); }

TEST(Readable, HelpWindowWrapsItsTextInsideTheBox) { ExpectHelpWindowReadable(); }

// The windows in the program's font at a font size a user may choose.
class ReadableInFont : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        QFont font = DesignFont();
        font.setPointSize(GetParam());
        QApplication::setFont(font);
    }
    void TearDown() override { UseDesignFont(); }
};

TEST_P(ReadableInFont, AllThreeWindows) {
    ExpectMainWindowReadable();
    ExpectAboutWindowReadable();
    ExpectHelpWindowReadable();
}

INSTANTIATE_TEST_SUITE_P(Points, ReadableInFont, ::testing::Range(8, 17));

// On a desktop with the usual 9-point font at 96 DPI the windows keep the
// design font exactly; a larger system font makes the program's font larger,
// a smaller one never makes it smaller than the design.
TEST(ProgramFont, IsTheDesignOnAUsualDesktopAndGrowsWithALargerFont) {
    const auto pixels = [](double points) {
        QFont system;
        system.setPointSizeF(points);
        return QFontInfo(ProgramFont(system)).pixelSize();
    };
    QFont nine;
    nine.setPointSize(9);
    if (QFontInfo(nine).pixelSize() == 12) {
        EXPECT_EQ(pixels(9), 11);
    }
    EXPECT_EQ(pixels(6), 11);
    int last = 11;
    for (int points = 6; points <= 24; ++points) {
        EXPECT_GE(pixels(points), last) << points;
        last = pixels(points);
    }
    EXPECT_GE(pixels(16), 18);
    EXPECT_EQ(QFontInfo(ProgramFont(nine)).family(), QFontInfo(DesignFont()).family());
}

// The windows in the font the program takes from the platform, which
// QT_FONT_DPI makes larger.
TEST(Readable, InThePlatformsFont) {
    QApplication::setFont(ProgramFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont)));
    ExpectMainWindowReadable();
    ExpectAboutWindowReadable();
    ExpectHelpWindowReadable();
    UseDesignFont();
}

} // namespace
} // namespace tolvana::ui
