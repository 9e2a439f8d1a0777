// Showing the help and About windows: one of each, modeless and without an
// owner, brought to the front as they are, built afresh after closing, and
// outliving the main window.

#include "tests/ui/forms/window_fixture.h"
#include "ui/forms/helpwindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

namespace tolvana::testing {
namespace {

using SecondaryWindowsTest = WindowTest;

TEST_F(SecondaryWindowsTest, AskedForAgainTheOpenWindowComesToTheFrontUnchanged) {
    QWidget mainWindow;
    mainWindow.show();
    EXPECT_EQ(windows.helpWindow(), nullptr);
    windows.showHelp();
    QWidget* help = windows.helpWindow();
    ASSERT_TRUE(activate(help));
    auto* box = child<QPlainTextEdit>(help, "TxtHelp");
    // A selection marks this window's state.
    QTextCursor selection = box->textCursor();
    selection.setPosition(3);
    selection.setPosition(9, QTextCursor::KeepAnchor);
    box->setTextCursor(selection);
    const QString selected = box->textCursor().selectedText();
    ASSERT_EQ(selected.size(), 6);

    windows.showAbout();
    QWidget* about = windows.aboutWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    about->setWindowTitle(QStringLiteral("changed"));
    help->showMinimized();

    windows.showHelp();
    EXPECT_EQ(windows.helpWindow(), help);
    EXPECT_FALSE(help->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(help));
    EXPECT_EQ(box->textCursor().selectedText(), selected);

    windows.showAbout();
    EXPECT_EQ(windows.aboutWindow(), about);
    EXPECT_TRUE(QTest::qWaitForWindowActive(about));
    EXPECT_EQ(about->windowTitle(), "changed"); // not loaded again

    EXPECT_EQ(windowsNamed(QStringLiteral("FRMHELP")), 1);
    EXPECT_EQ(windowsNamed(QStringLiteral("frmAbout")), 1);
    for (QWidget* window : {help, about}) {
        EXPECT_EQ(window->parentWidget(), nullptr);
        EXPECT_EQ(window->windowHandle()->transientParent(), nullptr);
        EXPECT_EQ(window->windowModality(), Qt::NonModal);
    }
}

TEST_F(SecondaryWindowsTest, ClosedWindowsAreBuiltAfresh) {
    windows.showHelp();
    windows.showAbout();
    child<QPlainTextEdit>(windows.helpWindow(), "TxtHelp")->setPlainText(QStringLiteral("ändrad"));
    windows.aboutWindow()->setWindowTitle(QStringLiteral("changed"));
    child<QLabel>(windows.aboutWindow(), "lblVersion")->clear();
    ASSERT_TRUE(windows.helpWindow()->close());
    ASSERT_TRUE(windows.aboutWindow()->close());
    EXPECT_EQ(windows.helpWindow(), nullptr);
    EXPECT_EQ(windows.aboutWindow(), nullptr);

    // Asked for again before Qt has deleted the closed ones.
    windows.showHelp();
    windows.showAbout();
    flushDeletes();
    ASSERT_NE(windows.helpWindow(), nullptr);
    ASSERT_NE(windows.aboutWindow(), nullptr);
    const QString text = child<QPlainTextEdit>(windows.helpWindow(), "TxtHelp")->toPlainText();
    EXPECT_EQ(QString(text).replace(u'\n', QStringLiteral("\r\n")),
              ui::HelpWindowText(passwords.places()));
    EXPECT_EQ(windows.aboutWindow()->windowTitle(), "About Tolvana");
    EXPECT_FALSE(child<QLabel>(windows.aboutWindow(), "lblVersion")->text().isEmpty());
    EXPECT_EQ(windowsNamed(QStringLiteral("FRMHELP")), 1);
    EXPECT_EQ(windowsNamed(QStringLiteral("frmAbout")), 1);
}

TEST_F(SecondaryWindowsTest, ProgramRunsUntilTheLastWindowIsClosed) {
    // A stand-in for the main window; the secondary windows outlive it and
    // the object that opened them.
    auto* mainWindow = new QWidget;
    mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    mainWindow->show();
    QPointer<QWidget> help;
    QPointer<QWidget> about;
    {
        ui::SecondaryWindows opener(dialogs, tools, [this] { return passwords.places(); });
        opener.showHelp();
        opener.showAbout();
        help = opener.helpWindow();
        about = opener.aboutWindow();
    }

    // The timers belong to `steps`, so none of them outlives this test.
    QObject steps;
    bool lastStepReached = false;
    bool timedOut = false;
    QTimer::singleShot(0, &steps, [mainWindow] { mainWindow->close(); });
    QTimer::singleShot(50, &steps, [&] {
        if (about) child<QPushButton>(about, "cmdSysInfo")->click(); // still works
        if (help) help->close();
    });
    QTimer::singleShot(100, &steps, [&] {
        lastStepReached = true;
        if (about) about->close();
    });
    QTimer::singleShot(5000, &steps, [&] {
        timedOut = true;
        QCoreApplication::quit();
    });

    QApplication::exec();
    EXPECT_TRUE(lastStepReached) << "the program ended with the About window open";
    EXPECT_FALSE(timedOut) << "the program did not end when its last window closed";
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

} // namespace
} // namespace tolvana::testing
