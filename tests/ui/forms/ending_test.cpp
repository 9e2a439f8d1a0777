// Ending the program while a box holds a text that exists nowhere else: every
// way out asks first, and nothing is asked when nothing would be lost.

#include "tests/support/main_window_fixture.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace tolvana::ui {
namespace {

using Ending = testing::MainWindowFixture;

// The ways the user ends the program; each returns at once.
struct WayOut {
    const char* name;
    std::function<void(MainWindow&)> take;
};
const WayOut kWaysOut[] = {
    {"Avsluta",
     [](MainWindow& w) { w.findChild<QAction*>(QStringLiteral("closeProg"))->trigger(); }},
    {"Ctrl+Q",
     [](MainWindow&) {
         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Q, Qt::ControlModifier);
     }},
    {"close button", [](MainWindow& w) { w.close(); }},
};

// A session that lets the program ask: true when it was cancelled.
bool SessionCancelled(MainWindow& window) {
    bool cancelled = false;
    window.sessionEnding([] { return true; }, [&] { cancelled = true; });
    return cancelled;
}

TEST_F(Ending, ATypedTextIsAskedForOnEveryWayOutAndGoingBackKeepsIt) {
    for (const WayOut& way : kWaysOut) {
        SCOPED_TRACE(way.name);
        start(',');
        window->findChild<QAction*>(QStringLiteral("Help2"))->trigger();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        testing::Type(clear(), QStringLiteral("x"));

        dialogs.questions.clear();
        dialogs.askAnswers = {false};
        way.take(*window);
        ASSERT_EQ(dialogs.questions.size(), 1u);
        EXPECT_EQ(dialogs.questions[0].back, "Gå tillbaka");
        EXPECT_EQ(dialogs.questions[0].accept, "Avsluta utan att spara");
        EXPECT_TRUE(dialogs.questions[0].text.contains("övre rutan"));
        EXPECT_TRUE(window->isVisible());
        EXPECT_NE(window->secondaryWindows().helpWindow(), nullptr);
        EXPECT_EQ(clear()->text(), "x");

        dialogs.askAnswers = {true};
        way.take(*window);
        EXPECT_EQ(dialogs.questions.size(), 2u);
        EXPECT_FALSE(window->isVisible());
        if (QWidget* help = window->secondaryWindows().helpWindow()) help->close();
    }
}

TEST_F(Ending, TheEndOfTheSessionAsksAndGoingBackCancelsIt) {
    testing::Type(clear(), QStringLiteral("x"));
    dialogs.askAnswers = {false, true};
    EXPECT_TRUE(SessionCancelled(*window));
    EXPECT_FALSE(SessionCancelled(*window));
    EXPECT_EQ(dialogs.questions.size(), 2u);
    // Once the user has chosen to end, closing the window asks no more.
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dialogs.questions.size(), 2u);

    // A session that does not let the program ask is not cancelled.
    start(',');
    testing::Type(clear(), QStringLiteral("x"));
    bool cancelled = false;
    window->sessionEnding([] { return false; }, [&] { cancelled = true; });
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(dialogs.questions.size(), 2u);
}

// "Kryptera" empties the clear-text box: its cipher text exists only in the
// lower box until it is saved.
TEST_F(Ending, ACipherTextMadeByKrypteraIsAskedForUntilSaved) {
    QTemporaryDir folder;
    testing::Type(clear(), QStringLiteral("abc"));
    press("KKnapKryptera");
    ASSERT_TRUE(clear()->text().isEmpty());
    dialogs.askAnswers = {false};
    window->close();
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_TRUE(dialogs.questions[0].text.contains("krypterade texten"));
    EXPECT_TRUE(window->isVisible());

    dialogs.fileAnswers = {folder.filePath(QStringLiteral("brev.crp"))};
    window->findChild<QAction*>(QStringLiteral("save"))->trigger();
    ASSERT_TRUE(dialogs.messages.empty());
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dialogs.questions.size(), 1u);
}

TEST_F(Ending, NothingIsAskedWhenNothingWouldBeLost) {
    // Empty boxes, also after typing and taking it away.
    window->close();
    EXPECT_FALSE(window->isVisible());
    start(',');
    testing::Type(clear(), QStringLiteral("x"));
    QTest::keyClick(clear(), Qt::Key_Backspace);
    window->findChild<QAction*>(QStringLiteral("closeProg"))->trigger();
    EXPECT_FALSE(window->isVisible());

    // A cipher file just opened, and its clear text.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("brev.crp"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\"\n115,5\n159\n166,5\"\r\n");
    }
    start(',');
    dialogs.fileAnswers = {path};
    window->findChild<QAction*>(QStringLiteral("open"))->trigger();
    ASSERT_FALSE(cipher()->text().isEmpty());
    press("KKnappDekryptera");
    ASSERT_EQ(clear()->text(), "Hej");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(SessionCancelled(*window) == false);
    EXPECT_TRUE(dialogs.questions.empty());

    // ... but a change to it is asked for.
    start(',');
    dialogs.fileAnswers = {path};
    window->findChild<QAction*>(QStringLiteral("open"))->trigger();
    testing::Type(cipher(), QStringLiteral("1"));
    dialogs.askAnswers = {true};
    window->close();
    EXPECT_EQ(dialogs.questions.size(), 1u);
}

} // namespace
} // namespace tolvana::ui
