// The keyboard reaches every command and window: the menus by their access
// keys, help by F1, the secondary windows close on Escape, and every control
// shows when it has the focus.

#include "tests/support/main_window_fixture.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

using Keyboard = testing::MainWindowFixture;

TEST_F(Keyboard, AltOpensTheMenusAndTheirLettersChooseTheItems) {
    QTest::keyClick(window.get(), Qt::Key_A, Qt::AltModifier);
    QMenu* arkiv = window->findChild<QMenu*>(QStringLiteral("arkiv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return arkiv->isVisible(); }, 2000));
    EXPECT_TRUE(clear()->text().isEmpty()); // the letter went to no box
    dialogs.fileAnswers = {std::nullopt};
    QTest::keyClick(arkiv, Qt::Key_T);
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_EQ(dialogs.fileRequests[0].title, "ladda en Okrypterad fil");

    QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
    QMenu* help = window->findChild<QMenu*>(QStringLiteral("Help"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return help->isVisible(); }, 2000));
    QTest::keyClick(help, Qt::Key_O);
    QWidget* about = window->secondaryWindows().aboutWindow();
    ASSERT_NE(about, nullptr);
    about->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    QTest::keyClick(about, Qt::Key_Escape);
    EXPECT_EQ(window->secondaryWindows().aboutWindow(), nullptr);
}

TEST_F(Keyboard, F1OpensHelpWhoseTextCanBeCopiedButNotChangedAndEscapeClosesIt) {
    QTest::keyClick(clear(), Qt::Key_F1);
    QWidget* help = window->secondaryWindows().helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(clear()->text().isEmpty());
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    auto* text = help->findChild<QPlainTextEdit*>(QStringLiteral("TxtHelp"));
    ASSERT_NE(text, nullptr);
    const QString before = text->toPlainText();
    text->setFocus();
    QTest::keyClicks(text, "xyz");
    QTest::keyClick(text, Qt::Key_Delete);
    EXPECT_EQ(text->toPlainText(), before);
    QTest::keySequence(text, QKeySequence::SelectAll);
    QTest::keySequence(text, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text(), before);

    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_EQ(window->secondaryWindows().helpWindow(), nullptr);
}

// Each control that takes the focus looks different with it: its frame, not
// only a caret that may be in the off half of its blink.
TEST_F(Keyboard, EveryControlShowsWhenItHasTheFocus) {
    const auto edge = [](QWidget* widget) {
        const QImage image = widget->grab().toImage();
        QList<QRgb> pixels;
        for (int x = 0; x < image.width(); ++x) pixels << image.pixel(x, 0);
        for (int y = 0; y < image.height(); ++y) pixels << image.pixel(0, y);
        return pixels;
    };
    // The focus moves by Tab, as the keyboard moves it, round to the start.
    for (const char* name :
         {"TextKrypterad", "KKnapKryptera", "SkapaLosen", "KKnappDekryptera", "TextRenText"}) {
        SCOPED_TRACE(name);
        QWidget* control = child<QWidget>(name);
        ASSERT_FALSE(control->hasFocus());
        const QList<QRgb> without = edge(control);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(control->hasFocus());
        EXPECT_NE(edge(control), without);
    }
}

} // namespace
} // namespace tolvana::ui
