// Files that reach the window from outside it: named on the command line or
// dropped on it. Each opens as the menu command for its kind opens it.

#include "storage/passwordstore.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/commandline.h"
#include "ui/forms/mainwindow.h"
#include "ui/forms/startup.h"
#include "ui/platform/nativepath.h"
#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
        window = StartProgram(Services{dialogs, files, [] { return ','; }}, given);
    }

    // The boxes may fill after the command has returned; wait a little.
    static bool holds(CodeTextBox* box, const QString& text) {
        return QTest::qWaitFor([&] { return box->text() == text; }, 3000);
    }

    QTemporaryDir folder;
    // Qt cannot remove a file whose name it cannot list; this can.
    struct Removed {
        std::string path;
        ~Removed() { std::filesystem::remove_all(path); }
    } removed{StoragePath(folder.path())};
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
    start({write("bild.png", "x")});
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 öppnades inte: Tolvana öppnar krypterade filer (.crp) och "
                             "textfiler (.txt).")
                  .arg(path("bild.png")));
    window.reset();
    start({path("saknas.crp")});
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text,
              QStringLiteral("Filen %1 finns inte.").arg(path("saknas.crp")));
    EXPECT_TRUE(window->cipherTextBox()->text().isEmpty());
    EXPECT_TRUE(window->clearTextBox()->text().isEmpty());
}

// Files given together cost one message at most, and each box takes one
// file: the first ".crp" and the first ".txt" that exist.
TEST_F(FromOutside, ManyFilesCostOneMessageAndEachBoxTakesOneFile) {
    QStringList given = {write("bild.png", "x"),
                         path("saknas.crp"),
                         write("brev.crp", kHejFile),
                         write("annan.crp", "\"\n153\"\r\n"),
                         write("brev.txt", kTextFile),
                         write("annan.txt", "x\r\n"),
                         QStringLiteral("https://exempel.se/a.crp")};
    for (int i = 0; i < 12; ++i) given << write(qPrintable(QStringLiteral("b%1.jpg").arg(i)), "x");
    start(given);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const QStringList lines = dialogs.messages[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 12) << dialogs.messages[0].text.toStdString();
    EXPECT_EQ(lines[1],
              path("bild.png") + ": är varken en krypterad fil (.crp) eller en textfil (.txt)");
    EXPECT_EQ(lines[2], path("saknas.crp") + ": finns inte");
    EXPECT_EQ(lines[3], path("annan.crp") + ": en krypterad fil har redan öppnats");
    EXPECT_EQ(lines[4], path("annan.txt") + ": en textfil har redan lästs in");
    EXPECT_EQ(lines[5], "https://exempel.se/a.crp: är ingen fil på den här datorn");
    EXPECT_EQ(lines[10],
              path("b4.jpg") + ": är varken en krypterad fil (.crp) eller en textfil (.txt)");
    EXPECT_EQ(lines[11], "och 7 till.");
}

// A shell's "tolvana *" in a big folder: the window starts as quickly, with
// one message.
TEST_F(FromOutside, TenThousandNamesDoNotSlowTheStart) {
    QStringList given;
    for (int i = 0; i < 10000; ++i) given << path(qPrintable(QStringLiteral("bild%1.jpg").arg(i)));
    given << write("brev.crp", kHejFile);
    QElapsedTimer timer;
    timer.start();
    start(given);
    ASSERT_NE(window, nullptr);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("och 9 990 till."));
}

// A name in another encoding than UTF-8, as old files copied from Windows
// often have: kept as the system's bytes from the command line to the file,
// and shown with its odd byte visible when there is something to say.
TEST_F(FromOutside, ANameThatIsNotUtf8OpensAndIsShownByteForByte) {
    const std::string folderBytes = StoragePath(folder.path());
    const std::string latin1 = folderBytes + "/r\xE4k.crp";
    {
        std::ofstream file(latin1, std::ios::binary);
        file << kHejFile.toStdString();
    }
    const std::string missing = folderBytes + "/s\xE5knas.txt";
    start({QtPath(latin1), QtPath(missing)});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1/s\\xE5knas.txt finns inte.").arg(folder.path()));

    // The same bytes as a file URL, and the file's name dropped on the window.
    window.reset();
    start({QStringLiteral("file://") + QtPath(folderBytes + "/r%E4k.crp")});
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
}

// File managers and some desktops pass file URLs: a file URL of this machine
// opens its file, percent escapes decoded into the system's bytes; any other
// address is refused with a message that says why.
TEST_F(FromOutside, FileUrlsOpenAndOtherAddressesAreRefused) {
    write("brev med mellanslag.crp", kHejFile);
    const QString url =
        QUrl::fromLocalFile(path("brev med mellanslag.crp")).toString(QUrl::FullyEncoded);
    ASSERT_TRUE(url.contains("%20"));
    start({url});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    EXPECT_TRUE(dialogs.messages.empty());

    window.reset();
    const QString here = QStringLiteral("FILE://localhost") + path("brev.txt") + "?x#y";
    write("brev.txt", kTextFile);
    start({here, QStringLiteral("https://example.com/brev.crp"),
           QStringLiteral("file://annan-dator/tmp/brev.crp")});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    // Given together, the two addresses are told of in one message.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const QStringList lines = dialogs.messages[0].text.split(u'\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "https://example.com/brev.crp: är ingen fil på den här datorn");
    EXPECT_EQ(lines[2], "file://annan-dator/tmp/brev.crp: är ingen fil på den här datorn");
    window.reset();
    start({QStringLiteral("https://example.com/brev.crp")});
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text,
              QStringLiteral("Adressen https://example.com/brev.crp öppnades inte: Tolvana öppnar "
                             "bara filer på den här datorn (file:), inte adresser av typen "
                             "https:."));
    // Another computer's file is said to be there, not called an address of
    // the wrong kind.
    window.reset();
    start({QStringLiteral("file://annan-dator/tmp/brev.crp")});
    ASSERT_EQ(dialogs.messages.size(), 3u);
    EXPECT_EQ(dialogs.messages[2].text,
              QStringLiteral("Adressen file://annan-dator/tmp/brev.crp öppnades inte: filen "
                             "ligger på en annan dator, annan-dator; öppna den genom en mapp som "
                             "är monterad här eller kopiera den hit."));
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

// A dragged name that is not UTF-8 arrives percent-encoded, byte for byte.
TEST_F(Dropping, ADroppedNameThatIsNotUtf8Opens) {
    const std::string latin1 = StoragePath(folder.path()) + "/r\xE4k.txt";
    {
        std::ofstream file(latin1, std::ios::binary);
        file << kTextFile.toStdString();
    }
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 QByteArray("file://") + QByteArray::fromStdString(StoragePath(folder.path())) +
                     "/r%E4k.txt\r\n");
    EXPECT_TRUE(drop(window.get(), data));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Dropping, SeveralFilesOpenOneABoxWithOneMessageForTheRest) {
    QStringList dropped = {write("a.txt", kTextFile), write("b.doc", "x"),
                           write("c.crp", kHejFile)};
    for (int i = 0; i < 20; ++i)
        dropped << write(qPrintable(QStringLiteral("d%1.jpg").arg(i)), "x");
    EXPECT_TRUE(dropFiles(window.get(), dropped));
    EXPECT_TRUE(holds(window->clearTextBox(), kText));
    EXPECT_TRUE(holds(window->cipherTextBox(), kHejCipher));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(path("b.doc")));
    EXPECT_TRUE(dialogs.messages[0].text.endsWith("och 11 till."));
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
    using Arguments = std::vector<std::string>;

    for (const char* option : {"--help", "-h"}) {
        const CommandLine help = ParseCommandLine({"tolvana", option});
        EXPECT_EQ(help.action, Action::Print);
        EXPECT_TRUE(help.text.startsWith(QStringLiteral("Användning: tolvana [FLAGGOR] [FIL...]")));
    }
    const CommandLine version = ParseCommandLine({"tolvana", "--version"});
    EXPECT_EQ(version.action, Action::Print);
    EXPECT_EQ(version.text, QStringLiteral("tolvana 1.0.0\n"));

    // Qt's own options are Qt's, wherever they stand, with their values.
    const CommandLine files =
        ParseCommandLine(Arguments{"tolvana", "-platform", "offscreen", "a.crp", "--style=fusion",
                                   "-reverse", "file:///tmp/b.crp", "--", "-b.txt"});
    EXPECT_EQ(files.action, Action::Run);
    EXPECT_EQ(files.files, QStringList({"a.crp", "file:///tmp/b.crp", "-b.txt"}));

    // An unknown option is named as it was written, with one dash or two.
    const std::pair<const char*, const char*> unknown[] = {
        {"--färg", "--färg"}, {"-x.crp", "-x.crp"}, {"--bogus=1", "--bogus"}, {"-hx", "-hx"}};
    for (const auto& [option, named] : unknown) {
        const CommandLine refused = ParseCommandLine({"tolvana", "a.crp", option, "--help"});
        EXPECT_EQ(refused.action, Action::Refuse) << option;
        EXPECT_EQ(refused.text,
                  QStringLiteral("tolvana: okänd flagga: %1\nSe \"tolvana --help\".\n")
                      .arg(QString::fromUtf8(named)));
        EXPECT_TRUE(refused.files.isEmpty());
    }
}

} // namespace
} // namespace tolvana::ui
