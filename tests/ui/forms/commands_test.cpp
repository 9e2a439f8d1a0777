// The commands while they run: nothing else starts, "Avbryt" leaves boxes and
// files as they were, running out of memory is reported, and control
// characters are named in words.

#include "storage/files.h"
#include "tests/support/main_window_fixture.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"
#include "ui/texts/codepage.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QFile>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <memory>

namespace tolvana::ui {
namespace {

using testing::ScriptedDialogs;

class CommandsTest : public testing::MainWindowFixture {
protected:
    QString write(const char* name, const QByteArray& bytes) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir folder;
};

TEST_F(CommandsTest, WhileACommandRunsNoOtherCommandStartsAndTheBoxesTakeNoInput) {
    clear()->setText(QStringLiteral("abc"));
    int attempts = 0;
    dialogs.onProgress = [&](int update) {
        if (update != 0) return false;
        ++attempts;
        EXPECT_TRUE(window->commandRunning());
        // Every way of starting something: buttons, shortcuts, menu items,
        // typing into a box, closing the window.
        for (const char* button : {"KKnapKryptera", "KKnappDekryptera", "SkapaLosen"})
            press(button);
        QTest::keyClick(clear(), Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(clear(), Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(clear(), Qt::Key_X);
        QTest::keyClick(cipher(), Qt::Key_V, Qt::ControlModifier);
        for (const char* item : {"open", "chopen", "save", "closeProg"})
            window->findChild<QAction*>(QString::fromLatin1(item))->trigger();
        window->openCipherPath(QStringLiteral("/nonexistent.crp"));
        window->close();
        // Nor do the ways in that no event filter holds back: accessibility
        // tools, input methods and text dropped on a box.
        for (CodeTextBox* box : {clear(), cipher()}) {
            EXPECT_TRUE(box->isReadOnly());
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
            accessible->editableTextInterface()->insertText(0, QStringLiteral("x"));
            accessible->editableTextInterface()->replaceText(0, 1, QStringLiteral("y"));
            QInputMethodEvent commit;
            commit.setCommitString(QStringLiteral("z"));
            QApplication::sendEvent(box, &commit);
            QMimeData dropped;
            dropped.setText(QStringLiteral("w"));
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
            QApplication::sendEvent(box->viewport(), &drop);
        }
        EXPECT_EQ(clear()->text(), "abc");
        EXPECT_TRUE(cipher()->text().isEmpty());
        return false;
    };
    press("KKnapKryptera");

    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(window->commandRunning());
    EXPECT_EQ(dialogs.progressLabels, std::vector<QString>{QStringLiteral("Krypterar …")});
    EXPECT_TRUE(dialogs.fileRequests.empty());
    EXPECT_TRUE(dialogs.inputs.empty());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(cipher()->text(), "\n153\n154,5\n156");
    EXPECT_TRUE(clear()->text().isEmpty());
    EXPECT_FALSE(clear()->isReadOnly());
    EXPECT_FALSE(cipher()->isReadOnly());

    // Afterwards everything works again.
    dialogs.onProgress = nullptr;
    press("KKnappDekryptera");
    EXPECT_EQ(clear()->text(), "abc");
}

TEST_F(CommandsTest, AvbrytLeavesBothBoxesAsTheyWere) {
    const QString crp = write("a.crp", "\"\n153\"\r\n");
    const QString txt = write("a.txt", "\"xyz\"\r\n");
    dialogs.fileAnswers = {crp, txt};
    // "Avbryt" is pressed as soon as the work is under way; the work may
    // even have ended, but its result is dropped.
    dialogs.onProgress = [](int update) { return update >= 1; };
    clear()->setText(QStringLiteral("klar"));
    cipher()->setText(QStringLiteral("\n156"));
    press("KKnapKryptera");
    press("KKnappDekryptera");
    window->findChild<QAction*>(QStringLiteral("open"))->trigger();
    window->findChild<QAction*>(QStringLiteral("chopen"))->trigger();
    EXPECT_EQ(clear()->text(), "klar");
    EXPECT_EQ(cipher()->text(), "\n156");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.progressLabels.size(), 4u);
    EXPECT_TRUE(dialogs.fileAnswers.empty());
}

TEST_F(CommandsTest, AvbrytWhileSavingLeavesTheEarlierFileAsItWas) {
    const QString earlier = write("earlier.crp", "\"\n153\"\r\n");
    dialogs.fileAnswers = {earlier};
    cipher()->setText(QStringLiteral("\n156\n157,5"));
    // The check of the text goes on; the writing is stopped.
    dialogs.onProgress = [this](int update) {
        return update >= 1 && dialogs.progressLabels.size() == 2;
    };
    window->findChild<QAction*>(QStringLiteral("save"))->trigger();
    EXPECT_EQ(dialogs.progressLabels, (std::vector<QString>{QStringLiteral("Förbereder …"),
                                                            QStringLiteral("Sparar filen …")}));
    auto contents = [&earlier] {
        QFile file(earlier);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    };
    EXPECT_EQ(contents(), "\"\n153\"\r\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left behind";

    dialogs.onProgress = nullptr;
    dialogs.fileAnswers = {earlier};
    window->findChild<QAction*>(QStringLiteral("save"))->trigger();
    EXPECT_EQ(contents(), "\"\n156\n157,5\"\r\n");
}

TEST_F(CommandsTest, ControlCharactersInMessagesAreNamedInWords) {
    clear()->setText(QStringLiteral("kvar"));
    cipher()->setText(QStringLiteral("\n153\n15") + QChar(1) + QStringLiteral("3\n156"));
    press("KKnappDekryptera");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(
        QStringLiteral("\"15[rubrikstart (kod 1)]3\" på rad 3 är inget tal")))
        << dialogs.messages[0].text.toStdString();

    // A control character that has no code page code is named as well.
    clear()->setText(QStringLiteral("a") + QChar(0x85));
    press("KKnapKryptera");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_TRUE(dialogs.messages[1].text.contains(
        QStringLiteral("tecknet styrtecken (kod 133) (U+0085) på rad 1 finns inte")))
        << dialogs.messages[1].text.toStdString();
    EXPECT_EQ(clear()->text(), QStringLiteral("a") + QChar(0x85));

    // A surrogate without its partner is named as itself.
    clear()->setText(QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b"));
    press("KKnapKryptera");
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_TRUE(dialogs.messages[2].text.contains(QStringLiteral("(U+D800) på rad 1")))
        << dialogs.messages[2].text.toStdString();
}

// Runs in a child process of its own (a death test re-runs the test program):
// a window with a big clear text and a big cipher file, then a limit on the
// address space a little above what the process already uses. "Kryptera" and
// opening the file then run out of memory; both must say so and change
// nothing. Exits 0 when all went as it should.
[[noreturn]] void RunOutOfMemory(const QString& cipherFile) {
    ScriptedDialogs dialogs;
    testing::PasswordFolder passwords;
    bool ok = true;
    auto expect = [&ok](bool condition, const char* what) {
        if (!condition) std::fprintf(stderr, "not so: %s\n", what);
        ok = ok && condition;
    };
    {
        MainWindow window(Services{dialogs, passwords.places(), [] { return ','; }});
        window.show();
        const QString big(16'000'000, u'a');
        window.clearTextBox()->setText(big);
        window.cipherTextBox()->setText(QStringLiteral("\n153"));
        dialogs.fileAnswers = {cipherFile};
        QApplication::processEvents();

        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * 4096 + (160u << 20);
        const rlimit rl{limit, limit};
        setrlimit(RLIMIT_AS, &rl);

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("KKnapKryptera")),
                          Qt::LeftButton);
        expect(dialogs.messages.size() == 1, "one message after Kryptera");
        expect(!dialogs.messages.empty() &&
                   dialogs.messages[0].text.startsWith(QStringLiteral("Minnet räckte inte till")),
               "the message says that memory ran out");
        expect(window.clearTextBox()->text() == big, "the clear text is kept");
        expect(window.cipherTextBox()->text() == QStringLiteral("\n153"),
               "the cipher text is kept");

        window.findChild<QAction*>(QStringLiteral("open"))->trigger();
        expect(dialogs.messages.size() == 2, "one message after opening the file");
        expect(window.cipherTextBox()->text() == QStringLiteral("\n153"),
               "the cipher text is kept after opening");
        expect(!window.commandRunning(), "no command is left running");
    }
    std::fflush(stderr);
    std::_Exit(ok ? 0 : 1);
}

TEST(OutOfMemory, ACommandThatRunsOutOfMemorySaysSoAndChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than any limit here allows";
#else
    // A cipher file of 6,000,000 lines: its text and line index need far
    // more than the limit leaves.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.crp"));
    {
        std::string cipherText;
        for (int i = 0; i < 6'000'000; ++i) cipherText += "\n153";
        storage::OutputFile file = storage::OpenForOutput(QFile::encodeName(path).toStdString());
        file.WriteField(cipherText);
        file.Close();
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunOutOfMemory(path), ::testing::ExitedWithCode(0), "");
#endif
}

} // namespace
} // namespace tolvana::ui
