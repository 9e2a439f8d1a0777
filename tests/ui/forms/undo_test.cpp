// What a command replaces in a box is one step that the box's undo brings
// back, by its key and by "Ångra" in its menu, and its redo key takes forward
// again.

#include "tests/support/main_window_fixture.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tolvana::ui {
namespace {

using Undo = testing::MainWindowFixture;

void UndoKey(CodeTextBox* box) { QTest::keySequence(box, QKeySequence::Undo); }
void RedoKey(CodeTextBox* box) { QTest::keySequence(box, QKeySequence::Redo); }

// "Ångra" in the box's own menu.
void UndoInMenu(CodeTextBox* box) {
    const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    QAction* undo = menu->findChild<QAction*>(QStringLiteral("edit-undo"));
    ASSERT_NE(undo, nullptr);
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
}

TEST_F(Undo, KrypteraAndDekrypteraCanBeTakenBackInEachBox) {
    testing::Type(clear(), QStringLiteral("abc"));
    press("KKnapKryptera");
    ASSERT_TRUE(clear()->text().isEmpty());
    const QString cipherText = cipher()->text();

    // The emptied clear text comes back, and goes again.
    UndoKey(clear());
    EXPECT_EQ(clear()->text(), "abc");
    RedoKey(clear());
    EXPECT_TRUE(clear()->text().isEmpty());
    UndoInMenu(clear());
    EXPECT_EQ(clear()->text(), "abc");
    // The cipher box had nothing before.
    UndoKey(cipher());
    EXPECT_TRUE(cipher()->text().isEmpty());
    RedoKey(cipher());
    EXPECT_EQ(cipher()->text(), cipherText);

    // Dekryptera's result over a typed text: the text comes back, and the
    // typing before it can be undone as before.
    clear()->setText({});
    testing::Type(clear(), QStringLiteral("xy"));
    press("KKnappDekryptera");
    ASSERT_EQ(clear()->text(), "abc");
    UndoKey(clear());
    EXPECT_EQ(clear()->text(), "xy");
    UndoKey(clear());
    EXPECT_TRUE(clear()->text().isEmpty());
    RedoKey(clear());
    RedoKey(clear());
    EXPECT_EQ(clear()->text(), "abc");
    EXPECT_EQ(cipher()->text(), cipherText);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Undo, AnOpenedOrImportedFileCanBeTakenBack) {
    QTemporaryDir folder;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(folder.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    testing::Type(cipher(), QStringLiteral("1"));
    testing::Type(clear(), QStringLiteral("egen"));
    dialogs.fileAnswers = {write("brev.crp", "\"\n115,5\n159\n166,5\"\r\n"),
                           write("brev.txt", "Hej\r\n")};
    window->findChild<QAction*>(QStringLiteral("open"))->trigger();
    window->findChild<QAction*>(QStringLiteral("chopen"))->trigger();
    ASSERT_EQ(cipher()->text(), "\n115,5\n159\n166,5");
    ASSERT_EQ(clear()->text(), "Hej");
    UndoInMenu(cipher());
    EXPECT_EQ(cipher()->text(), "1");
    UndoKey(clear());
    EXPECT_EQ(clear()->text(), "egen");
    RedoKey(clear());
    EXPECT_EQ(clear()->text(), "Hej");
}

} // namespace
} // namespace tolvana::ui
