// Files that reach the window from outside it: named on the command line or
// dropped on it. Each opens as the menu command for its kind opens it.

#include "storage/passwordstore.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/commandline.h"
#include "ui/forms/mainwindow.h"
#include "ui/forms/startup.h"
#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

using testing::ScriptedDialogs;

// The cipher text of "Hej" with a decimal comma, and a text file of two
// fields, as the program writes and reads them.
const QByteArray kHejFile = "\"\n115,5\n159\n166,5\"\r\n";
const QString kHejCipher = QStringLiteral("\n115,5\n159\n166,5");
const QByteArray kTextFile = "Hej, d\xE5\r\n";
const QString kText = QStringLiteral("Hejdå");

class FromOutside : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        files = {path("numberone").toStdString(), path("id").toStdString()};
    }

    QString write(const char* name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QString path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }

    void start(const QStringList& given = {}) {
        window = StartProgram(Services{dialogs, [] { return ','; }, files}, given);
    }

    // The boxes may fill after the command has returned; wait a little.
    static bool holds(CodeTextBox* box, const QString& text) {
        return QTest::qWaitFor([&] { return box->text() == text; }, 3000);
    }

    QTemporaryDir folder;
    storage::PasswordFiles files;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

TEST_F(FromOutside, CommandLineFilesOpenByTheirExtensionInAnyCase) {
    start({write("brev.crp", kHejFile), write("brev.TXT", kTextFile)});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    EXPECT_TRUE(dialogs.fileRequests.empty()); // no dialog asked for a file
    EXPECT_TRUE(dialogs.messages.empty());

    window.reset();
    start({write("BREV.Crp", kHejFile)});
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    EXPECT_TRUE(window->clearTextBox()->text().isEmpty());
}

TEST_F(FromOutside, OtherAndMissingFilesAreRefusedWithAMessage) {
    start({write("bild.png", "x"), path("saknas.crp"), write("utan", "y")});
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 öppnades inte: Tolvana öppnar krypterade filer (.crp) och "
                             "textfiler (.txt).")
                  .arg(path("bild.png")));
    EXPECT_EQ(dialogs.messages[1].text,
              QStringLiteral("Filen %1 finns inte.").arg(path("saknas.crp")));
    EXPECT_TRUE(dialogs.messages[2].text.startsWith(
        QStringLiteral("Filen %1 öppnades inte").arg(path("utan"))));
    EXPECT_TRUE(window->cipherTextBox()->text().isEmpty());
    EXPECT_TRUE(window->clearTextBox()->text().isEmpty());
}

TEST_F(FromOutside, AFileThatTheMenuCommandCannotReadChangesNothingAsThere) {
    // An empty cipher file holds no field: the open command ends silently.
    start({write("tom.crp", "")});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(window->cipherTextBox()->text().isEmpty());
}

TEST_F(FromOutside, TheStartupLockRunsBeforeAnyFileIsOpened) {
    storage::StorePassword(files, "hemligt");
    const QString crp = write("brev.crp", kHejFile);

    dialogs.inputAnswers = {QString()}; // Cancel: the program ends
    start({crp, path("saknas.txt")});
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(dialogs.messages.empty()); // not even the missing file was looked at

    dialogs.inputAnswers = {QStringLiteral("hemligt")};
    start({crp});
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(dialogs.inputs.size(), 2u);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
}

class Dropping : public FromOutside {
protected:
    void SetUp() override {
        FromOutside::SetUp();
        start();
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Drags `data` over `target` and drops it there, as the window system
    // would; returns whether the drop was taken.
    static bool drop(QWidget* target, const QMimeData& data) {
        const QPoint middle = target->rect().center();
        QDragEnterEvent enter(middle, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent dropped(QPointF(middle), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }

    static bool dropFiles(QWidget* target, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
        data.setUrls(urls);
        // File managers offer the names as text as well.
        data.setText(paths.join(u'\n'));
        return drop(target, data);
    }
};

TEST_F(Dropping, ACipherFileDroppedOnTheWindowOpensInTheCipherBox) {
    window->cipherTextBox()->setText(QStringLiteral("gammalt"));
    EXPECT_TRUE(dropFiles(window.get(), {write("brev.crp", kHejFile)}));
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    EXPECT_TRUE(window->clearTextBox()->text().isEmpty());
}

TEST_F(Dropping, ATextFileDroppedOnEitherBoxIsImportedNotPastedAsItsName) {
    const QString txt = write("brev.txt", kTextFile);
    EXPECT_TRUE(dropFiles(window->cipherTextBox()->viewport(), {txt}));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    EXPECT_TRUE(window->cipherTextBox()->text().isEmpty());

    window->clearTextBox()->setText(QString());
    EXPECT_TRUE(dropFiles(window->clearTextBox()->viewport(), {txt}));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
}

TEST_F(Dropping, SeveralFilesOpenInTurnAndOthersAreRefused) {
    EXPECT_TRUE(dropFiles(
        window.get(), {write("a.txt", kTextFile), write("b.doc", "x"), write("c.crp", kHejFile)}));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(path("b.doc")));
}

// A drag of text alone opens nothing and says nothing; whether a box takes
// the text is the box's own business.
TEST_F(Dropping, DroppedTextOpensNoFile) {
    QMimeData text;
    text.setText(QStringLiteral("/etc/hostname.txt"));
    EXPECT_FALSE(drop(window.get(), text));
    EXPECT_FALSE(dropFiles(window.get(), {}));
    drop(window->clearTextBox()->viewport(), text);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(window->cipherTextBox()->text().isEmpty());
    const QString clear = window->clearTextBox()->text();
    EXPECT_TRUE(clear.isEmpty() || clear == text.text()) << clear.toStdString();
}

TEST(CommandLineTest, HelpVersionFilesAndUnknownOptions) {
    using Action = CommandLine::Action;
    const QString program = QStringLiteral("tolvana");

    for (const char* option : {"--help", "-h"}) {
        const CommandLine help = ParseCommandLine({program, QString::fromLatin1(option)});
        EXPECT_EQ(help.action, Action::Print);
        EXPECT_TRUE(help.text.startsWith(QStringLiteral("Användning: tolvana [FLAGGOR] [FIL...]")));
    }
    const CommandLine version = ParseCommandLine({program, QStringLiteral("--version")});
    EXPECT_EQ(version.action, Action::Print);
    EXPECT_EQ(version.text, QStringLiteral("tolvana 1.0.0\n"));

    const CommandLine files = ParseCommandLine(
        {program, QStringLiteral("a.crp"), QStringLiteral("--"), QStringLiteral("-b.txt")});
    EXPECT_EQ(files.action, Action::Run);
    EXPECT_EQ(files.files, QStringList({"a.crp", "-b.txt"}));

    const CommandLine unknown = ParseCommandLine({program, QStringLiteral("--färg")});
    EXPECT_EQ(unknown.action, Action::Refuse);
    EXPECT_EQ(unknown.text,
              QStringLiteral("tolvana: okänd flagga: --färg\nSe \"tolvana --help\".\n"));
}

} // namespace
} // namespace tolvana::ui
