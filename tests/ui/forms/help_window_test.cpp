// The help window: its stored text and guide, its design, its focus and
// its scrolling.

#include "tests/ui/forms/window_fixture.h"
#include "ui/forms/helpwindow.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>

namespace tolvana::testing {
namespace {

TEST(HelpTextTest, IsTheEightStoredLinesEachEndingInCrLf) {
    // The trailing blanks of lines 1 and 3 to 7 belong to the text.
    const char* const lines[] = {
        "1. Om du har skapat ett lösenord så måste det ",
        "anges för att öppna progammet",
        "2. skriv texten i det översta fältet och tryck på ",
        "knappen kryptera för att erhålla en tolvana ",
        "3. spata den krypterade filen, sen kan du skicka ",
        "den via epost eller över nätet. ",
        "Dom personerna som har samma programm ham ",
        "öppna dina filer och dekryptera dessa",
    };
    QString expected;
    for (const char* line : lines) expected += QString::fromUtf8(line) + QStringLiteral("\r\n");
    EXPECT_EQ(ui::HelpText(), expected);
}

using HelpWindowTest = WindowTest;

TEST_F(HelpWindowTest, ShowsTheStoredTextWithFocusInIt) {
    windows.showHelp();
    QWidget* help = windows.helpWindow();
    ASSERT_TRUE(help && activate(help));
    EXPECT_EQ(help->objectName(), "FRMHELP");
    EXPECT_EQ(help->windowTitle(), QStringLiteral("HJÄLP"));
    auto* box = child<QPlainTextEdit>(help, "TxtHelp");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), box);
    // Shown with plain line breaks, the text is otherwise the stored one,
    // the guide below it.
    EXPECT_FALSE(box->toPlainText().contains(u'\r'));
    EXPECT_EQ(box->toPlainText().replace(u'\n', QStringLiteral("\r\n")),
              ui::HelpText() + ui::HelpGuide(passwords.places()));
    // Read and copied, not changed.
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_TRUE(box->textInteractionFlags() & Qt::TextSelectableByKeyboard);
}

// The box stands where the design draws it and grows with the window; its
// lines wrap at its width and a text taller than the box scrolls.
TEST_F(HelpWindowTest, TheBoxGrowsWithTheWindowAndItsTextScrolls) {
    windows.showHelp();
    QWidget* help = windows.helpWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    EXPECT_EQ(help->size(), QSize(312, 206));
    EXPECT_EQ(help->windowType(), Qt::Window);
    EXPECT_TRUE(help->windowFlags().testFlags(Qt::WindowMinMaxButtonsHint));

    auto* box = child<QPlainTextEdit>(help, "TxtHelp");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->geometry(), QRect(32, 16, 249, 177));
    EXPECT_EQ(box->accessibleName(), help->windowTitle());
    help->resize(500, 400);
    QApplication::processEvents();
    EXPECT_EQ(box->geometry(), QRect(32, 16, 500 - 63, 400 - 29));

    // A text far longer and wider than the box wraps and scrolls down.
    box->setPlainText(QString(300, u'x') + QString(80, u'\n'));
    QApplication::processEvents();
    EXPECT_GT(box->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_FALSE(box->horizontalScrollBar()->isVisible());
}

TEST_F(HelpWindowTest, TheGuideBelowTheTextIsReachedByScrolling) {
    windows.showHelp();
    QWidget* help = windows.helpWindow();
    ASSERT_TRUE(help && activate(help));
    auto* box = child<QPlainTextEdit>(help, "TxtHelp");
    ASSERT_NE(box, nullptr);
    QScrollBar* bar = box->verticalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_GT(bar->maximum(), 0) << "the guide does not reach below the box";

    // The keys bring the end of the guide into view, and the wheel scrolls
    // back, without scroll bars.
    QTest::keyClick(box, Qt::Key_End, Qt::ControlModifier);
    const int end = bar->value();
    EXPECT_GT(end, 0);
    EXPECT_TRUE(box->viewport()->rect().contains(box->cursorRect()));
    QWheelEvent wheel(QPointF(10, 10), box->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(box->viewport(), &wheel);
    EXPECT_LT(bar->value(), end);
}

TEST(HelpGuideTest, NamesEveryPasswordFileInTheOrderTheyAreRead) {
    // Two places, as on Windows: both pairs of files are named, in order.
    const ui::PasswordPlaces places(
        {{{"/a/numberone", "/a/id"}, "/a", false}, {{"/b/numberone", "/b/id"}, {}, true}}, {1});
    const QString guide = ui::HelpGuide(places);
    // Each as the platform writes paths (with '\\' on Windows).
    const auto pair = [](const char* folder) {
        return QStringLiteral("  %1\r\n  %2\r\n")
            .arg(QDir::toNativeSeparators(QStringLiteral("/%1/numberone").arg(folder)),
                 QDir::toNativeSeparators(QStringLiteral("/%1/id").arg(folder)));
    };
    const qsizetype first = guide.indexOf(pair("a"));
    const qsizetype second = guide.indexOf(pair("b"));
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first);
    EXPECT_TRUE(guide.startsWith(QStringLiteral("\r\n"))); // a blank line after the text
    EXPECT_TRUE(guide.endsWith(QStringLiteral("\r\n")));
    EXPECT_FALSE(guide.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
    EXPECT_EQ(ui::HelpWindowText(places), ui::HelpText() + guide);
}

} // namespace
} // namespace tolvana::testing
