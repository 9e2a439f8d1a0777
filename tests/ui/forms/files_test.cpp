#include "tests/support/child_process.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/mainwindow.h"
#include "ui/forms/startup.h"
#include "ui/platform/nativepath.h"
#include "ui/textbox/codetextbox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tolvana::ui {
namespace {

using testing::ScriptedDialogs;
using Kind = FileRequest::Kind;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class WindowWithFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        files = {path("numberone").toStdString(), path("id").toStdString()};
    }

    void open(char decimal = ',') {
        Services services{dialogs, files, [decimal] { return decimal; }};
        window = StartProgram(std::move(services));
        ASSERT_NE(window, nullptr);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    QString path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
    CodeTextBox* clear() const { return window->clearTextBox(); }
    CodeTextBox* cipher() const { return window->cipherTextBox(); }
    void choose(const char* item) {
        window->findChild<QAction*>(QString::fromUtf8(item))->trigger();
    }
    void press(const char* button) {
        QTest::mouseClick(window->findChild<QPushButton*>(QString::fromUtf8(button)),
                          Qt::LeftButton);
    }

    QTemporaryDir folder;
    storage::PasswordFiles files;
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;
};

class FileCommands : public WindowWithFiles {
protected:
    void SetUp() override {
        WindowWithFiles::SetUp();
        open();
    }
};

TEST_F(FileCommands, EachCommandAsksForItsOwnDialog) {
    dialogs.fileAnswers = {std::nullopt, std::nullopt, std::nullopt};
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    choose("chopen");
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    const std::vector<FileRequest> expected = {
        {Kind::Open, "ladda en krypterad fil", "*.crp", "Krypterat|*.crp", 1},
        {Kind::Open, "ladda en Okrypterad fil", "*.txt", "*.txt;", 1},
        {Kind::Save, "Spara som", "*.crp", "Krypterat|*.crp", 1},
    };
    EXPECT_EQ(dialogs.fileRequests, expected);
}

TEST_F(FileCommands, CancelChangesNothingAndSaysNothing) {
    clear()->setText("klartext");
    cipher()->setText("\n153");
    dialogs.fileAnswers = {std::nullopt, std::nullopt, std::nullopt};
    choose("open");
    choose("chopen");
    choose("save");
    EXPECT_EQ(dialogs.fileRequests.size(), 3u);
    EXPECT_EQ(clear()->text(), "klartext");
    EXPECT_EQ(cipher()->text(), "\n153");
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"numberone"}));
}

TEST_F(FileCommands, SavedCipherTextOpensAndDecodesUnchanged) {
    clear()->setText(QStringLiteral("abc"));
    press("KKnapKryptera");
    dialogs.fileAnswers = {path("abc.crp")};
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(path("abc.crp")), QByteArray("\"\n153\n154,5\n156\"\r\n"));

    cipher()->setText({});
    dialogs.fileAnswers = {path("abc.crp")};
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(cipher()->text(), "\n153\n154,5\n156");
    press("KKnappDekryptera");
    EXPECT_EQ(clear()->text(), "abc");
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCommands, CodePageLettersAreSavedAsSingleBytes) {
    cipher()->setText(QStringLiteral("å\n€"));
    dialogs.fileAnswers = {path("letters.crp")};
    choose("save");
    EXPECT_EQ(ReadAll(path("letters.crp")), QByteArray("\"\xE5\n\x80\"\r\n"));
    cipher()->setText({});
    dialogs.fileAnswers = {path("letters.crp")};
    choose("open");
    EXPECT_EQ(cipher()->text(), QStringLiteral("å\n€"));
}

TEST_F(FileCommands, EmptyCipherTextMakesAFourByteFile) {
    dialogs.fileAnswers = {path("empty.crp"), path("empty.crp")};
    choose("save");
    EXPECT_EQ(ReadAll(path("empty.crp")), QByteArray("\"\"\r\n"));
    cipher()->setText("\n153");
    choose("open");
    EXPECT_TRUE(cipher()->text().isEmpty());
}

TEST_F(FileCommands, OpenTakesOnlyTheFirstFieldAndIgnoresEmptyOrMissingFiles) {
    WriteAll(path("lines.crp"), "\"\n153\"\r\n\"\n156\"\r\n");
    WriteAll(path("nothing.crp"), "");
    dialogs.fileAnswers = {path("lines.crp"), path("nothing.crp"), path("missing.crp")};
    choose("open");
    EXPECT_EQ(cipher()->text(), "\n153");
    choose("open");
    choose("open");
    EXPECT_EQ(cipher()->text(), "\n153");
    EXPECT_TRUE(dialogs.messages.empty());
}

// Plain cipher text under a ".crp" name (its first field is empty, more
// follows) is no empty text: the window says so, and how to read it, and the
// box keeps what it held.
TEST_F(FileCommands, APlainCipherFileUnderACrpNameIsNamedSo) {
    WriteAll(path("ren.crp"), "\n153\n156");
    dialogs.fileAnswers = {path("ren.crp")};
    cipher()->setText("\n153");
    choose("open");
    EXPECT_EQ(cipher()->text(), "\n153");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 innehåller ingen Tolvana-text i början: dess första fält "
                             "är tomt, men filen innehåller mer.\n\nOm filen innehåller "
                             "krypterad text utan citattecken kan den läsas med "
                             "\"tolvana-cipher dekryptera --ren\".")
                  .arg(path("ren.crp")));
}

TEST_F(FileCommands, ImportRunsTheFieldsTogether) {
    WriteAll(path("words.txt"), "one, two\r\nthree\r\n");
    WriteAll(path("unix.txt"), "first\nsecond\n");
    WriteAll(path("saved.txt"), "\"\n153\n154,5\"\r\n");
    WriteAll(path("empty.txt"), "");
    cipher()->setText("\n9");
    clear()->setText("before");
    dialogs.fileAnswers = {path("empty.txt"), path("words.txt"), path("unix.txt"),
                           path("saved.txt")};
    choose("chopen");
    EXPECT_EQ(clear()->text(), "before");
    choose("chopen");
    EXPECT_EQ(clear()->text(), "onetwothree");
    choose("chopen");
    EXPECT_EQ(clear()->text(), "firstsecond");
    choose("chopen");
    EXPECT_EQ(clear()->text(), "\n153\n154,5");
    EXPECT_EQ(cipher()->text(), "\n9");
}

// A file beyond what a box takes is refused before it is read, with its size
// and the maximum; a sparse file makes 30 GB cheap.
TEST_F(FileCommands, FilesTooLargeForABoxAreRefusedWithTheirSize) {
    for (const char* name : {"huge.crp", "huge.txt"}) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64{30} << 30));
    }
    cipher()->setText("\n9");
    clear()->setText("before");
    dialogs.fileAnswers = {path("huge.crp"), path("huge.txt")};
    choose("open");
    choose("chopen");
    EXPECT_EQ(cipher()->text(), "\n9");
    EXPECT_EQ(clear()->text(), "before");
    ASSERT_EQ(dialogs.messages.size(), 2u);
    // Cipher text is about six times its clear text, so a text file is held
    // to an eighth of a cipher file's maximum.
    const char* maxima[] = {"högst 128 MB kan läsas in", "högst 16 MB kan läsas in"};
    for (std::size_t i = 0; i < 2; ++i) {
        const QString& text = dialogs.messages[i].text;
        EXPECT_TRUE(text.contains(QStringLiteral("är 30 GB stor, och ") + maxima[i]))
            << text.toStdString();
        EXPECT_TRUE(text.contains(u"huge.")) << text.toStdString();
    }
}

// The text file's maximum is the smaller: a 17 MB text file is refused while a
// 17 MB cipher file is read.
TEST_F(FileCommands, TextFilesHaveTheSmallerMaximum) {
    for (const char* name : {"big.crp", "big.txt"}) {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.write("\"\n9\"\r\n") > 0);
        ASSERT_TRUE(file.resize(qint64{17} << 20));
    }
    clear()->setText("before");
    dialogs.fileAnswers = {path("big.crp"), path("big.txt")};
    choose("open");
    choose("chopen");
    EXPECT_EQ(cipher()->text(), "\n9");
    EXPECT_EQ(clear()->text(), "before");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(u"big.txt"));
}

// A text file is read as the text it holds, whatever the editor saved it as;
// the fields are then split as ever.
TEST_F(FileCommands, ImportReadsUtf8Utf16AndCodePageFiles) {
    const QString words = QStringLiteral("Hej Åsa, räksmörgås €\r\n");
    const QByteArray utf16le =
        QByteArray("\xFF\xFE") +
        QByteArray(reinterpret_cast<const char*>(words.utf16()), words.size() * 2);
    QByteArray utf16be = "\xFE\xFF";
    for (QChar c : words) {
        utf16be += char(c.unicode() >> 8);
        utf16be += char(c.unicode() & 0xFF);
    }
    const std::pair<const char*, QByteArray> files[] = {
        {"utf8.txt", words.toUtf8()},
        {"bom.txt", "\xEF\xBB\xBF" + words.toUtf8()},
        {"utf16le.txt", utf16le},
        {"utf16be.txt", utf16be},
        {"cp1252.txt", "Hej \xC5sa, r\xE4ksm\xF6rg\xE5s \x80\r\n"},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteAll(path(name), bytes);
        clear()->setText("before");
        dialogs.fileAnswers = {path(name)};
        choose("chopen");
        EXPECT_EQ(clear()->text(), QStringLiteral("Hej Åsaräksmörgås €"));
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FileCommands, ImportRefusesACharacterWithoutACode) {
    WriteAll(path("polish.txt"), QStringLiteral("Dzie\u0144\r\nbry\r\nw \u0141odzi").toUtf8());
    clear()->setText("before");
    dialogs.fileAnswers = {path("polish.txt")};
    choose("chopen");
    EXPECT_EQ(clear()->text(), "before");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 kan inte läsas in: tecknet \"ń\" (U+0144) på rad 1 finns "
                             "inte i teckentabellen.")
                  .arg(path("polish.txt")));
}

TEST_F(FileCommands, TextThatCouldNotBeReadBackIsNotSaved) {
    for (const QString& text : {QStringLiteral("\n153\"\n156"), QStringLiteral("\n153\n→")}) {
        cipher()->setText(text);
        dialogs.messages.clear();
        choose("save");
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_TRUE(dialogs.messages[0].text.startsWith("Den krypterade texten sparades inte"));
    }
    EXPECT_TRUE(dialogs.fileRequests.empty());
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"numberone"}));
}

TEST_F(FileCommands, SaveIntoAMissingFolderSaysSo) {
    cipher()->setText("\n153");
    dialogs.fileAnswers = {path("no/such/folder/x.crp")};
    choose("save");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    // No earlier file: nothing is said about one.
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 sparades inte: filen eller mappen finns inte.")
                  .arg(path("no/such/folder/x.crp")));
}

// A file made read-only is not replaced (not even by the super-user that runs
// the tests), and the message says why in Swedish.
TEST_F(FileCommands, AReadOnlyFileIsNotReplaced) {
    const QByteArray old = "\"\n153\"\r\n";
    WriteAll(path("locked.crp"), old);
    ASSERT_TRUE(QFile::setPermissions(path("locked.crp"), QFile::ReadOwner | QFile::ReadGroup));
    cipher()->setText("\n156");
    dialogs.fileAnswers = {path("locked.crp")};
    choose("save");
    EXPECT_EQ(ReadAll(path("locked.crp")), old);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Filen %1 sparades inte: behörighet saknas.\n\nEn tidigare fil med "
                             "samma namn är oförändrad.")
                  .arg(path("locked.crp")));
}

// Files the user may write but that are not replaced: one of another user
// (writable through its group), and the user's own in a folder the user may
// not write. The message says what stops the save and what the user can do.
TEST_F(FileCommands, AWritableFileThatIsNotReplacedSaysWhatStopsTheSave) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to give files away";
    const QByteArray old = "\"\n153\"\r\n";
    ::chmod(QFile::encodeName(folder.path()).constData(), 0755);
    ASSERT_TRUE(QDir(folder.path()).mkdir("shared"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("locked"));
    ::chmod(QFile::encodeName(path("shared")).constData(), 0777);
    WriteAll(path("shared/group.crp"), old); // root:nogroup 0664
    ::chown(QFile::encodeName(path("shared/group.crp")).constData(), 0, testing::kNoGroup);
    ::chmod(QFile::encodeName(path("shared/group.crp")).constData(), 0664);
    WriteAll(path("locked/own.crp"), old); // nobody's, in root's folder
    ::chown(QFile::encodeName(path("locked/own.crp")).constData(), testing::kNobody,
            testing::kNoGroup);
    const QString kept = QStringLiteral(" En tidigare fil med samma namn är oförändrad.");
    const std::pair<QString, QString> cases[] = {
        {path("shared/group.crp"),
         QStringLiteral("Filen %1 sparades inte: filen ägs av en annan användare eller grupp och "
                        "skulle byta ägare om den ersattes.\n\nDu kan spara under ett annat "
                        "namn, eller be filens ägare att göra dig till ägare av den.")
                 .arg(path("shared/group.crp")) +
             kept},
        {path("locked/own.crp"),
         QStringLiteral("Filen %1 sparades inte: mappen kan inte skrivas i, så filen kan inte "
                        "ersättas på ett säkert sätt.\n\nDu kan spara i en annan mapp, eller be "
                        "mappens ägare om rätt att skriva i den.")
                 .arg(path("locked/own.crp")) +
             kept},
    };

    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 20;
        cipher()->setText("\n156");
        int failures = 0;
        for (const auto& [file, expected] : cases) {
            dialogs.messages.clear();
            dialogs.fileAnswers = {file};
            choose("save");
            if (dialogs.messages.size() != 1 || dialogs.messages[0].text != expected) {
                for (const auto& message : dialogs.messages)
                    std::fprintf(stderr, "%s\n", qPrintable(message.text));
                failures |= 1;
            }
        }
        return failures;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(path("shared/group.crp")), old);
    EXPECT_EQ(ReadAll(path("locked/own.crp")), old);
}

TEST_F(FileCommands, ASaveThatFailsMidwayKeepsTheOldFile) {
    const QByteArray old = "\"\n153\"\r\n";
    WriteAll(path("keep.crp"), old);
    cipher()->setText(QString(200'000, u'9'));

    // Files may not grow past 4 KiB while the save runs, so its write fails.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.fileAnswers = {path("keep.crp")};
    choose("save");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(ReadAll(path("keep.crp")), old);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains("sparades inte"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"keep.crp", "numberone"}));
}

// The real open dialog of the widgets, as the program shows it: a file whose
// name is not UTF-8 (an old Latin-1 name) is in its list, and choosing it
// opens the file.
TEST(RealFileDialog, AFileWhoseNameIsNotUtf8IsListedAndOpens) {
    QTemporaryDir folder;
    const std::string bytes = StoragePath(folder.path());
    const struct Removed { // Qt cannot remove what it cannot list
        std::string path;
        ~Removed() { std::filesystem::remove_all(path); }
    } removed{bytes};
    std::ofstream(bytes + "/r\xE4k.crp") << "\"\n153\"\r\n";

    struct RealFileChoice : ScriptedDialogs {
        std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override {
            return QtDialogs().chooseFile(parent, request);
        }
    } dialogs;
    MainWindow window(Services{dialogs, storage::PasswordFiles{bytes + "/numberone", bytes + "/id"}});
    window.show();

    bool listed = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(folder.path());
        auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        const auto latin1 = [list] {
            const QModelIndex root = list->rootIndex();
            for (int row = 0; row < list->model()->rowCount(root); ++row)
                if (list->model()->index(row, 0, root).data().toString() == u"r\\xE4k.crp")
                    return list->model()->index(row, 0, root);
            return QModelIndex();
        };
        listed = QTest::qWaitFor([&] { return latin1().isValid(); });
        if (listed) {
            list->setCurrentIndex(latin1());
            QTest::keyClick(list, Qt::Key_Return);
        } else {
            dialog->reject();
        }
    });
    window.findChild<QAction*>(QStringLiteral("open"))->trigger();
    EXPECT_TRUE(listed);
    EXPECT_EQ(window.cipherTextBox()->text(), QStringLiteral("\n153"));
    EXPECT_TRUE(dialogs.messages.empty());
}

class StartupLock : public WindowWithFiles {};

TEST_F(StartupLock, WithoutFlagFileStartsAndCreatesAnEmptyOne) {
    open();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ReadAll(path("numberone")), QByteArray());
    EXPECT_FALSE(QFile::exists(path("id")));
    EXPECT_TRUE(dialogs.inputs.empty());
}

TEST_F(StartupLock, AFlagFileThatCannotBeMadeMeansNoPassword) {
    files.flagPath = path("no-such-folder/numberone").toStdString();
    open();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(dialogs.inputs.empty());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(StartupLock, NegativeFlagAsksForNothing) {
    WriteAll(path("numberone"), "\xFF\xFF");
    WriteAll(path("id"), "\"hemligt\"\r\n");
    open();
    EXPECT_TRUE(dialogs.inputs.empty());
}

TEST_F(StartupLock, AsksAgainUntilTheRightPasswordIsGiven) {
    WriteAll(path("numberone"), QByteArray("\x01\x00", 2));
    WriteAll(path("id"), "\"Hemligt\"\r\n");
    dialogs.inputAnswers = {"fel", "hemligt", "Hemligt"};
    open();
    ASSERT_EQ(dialogs.inputs.size(), 3u);
    EXPECT_EQ(dialogs.inputs[0].prompt, "Ange lösenord");
    EXPECT_EQ(dialogs.inputs[0].title, "Lösenord");
    EXPECT_EQ(dialogs.inputs[0].defaultText, "Skriv ditt lösen här");
    for (int i : {1, 2}) {
        EXPECT_EQ(dialogs.inputs[i].prompt, "Fel lösenord Ange lösenord");
        EXPECT_EQ(dialogs.inputs[i].title, "Lösenord");
        EXPECT_EQ(dialogs.inputs[i].defaultText, "Fel lösenordSkriv ditt lösen här");
    }
}

TEST_F(StartupLock, CancelAtEitherPromptEndsTheProgram) {
    WriteAll(path("numberone"), QByteArray("\x01\x00", 2));
    WriteAll(path("id"), "\"hemligt\"\r\n");
    for (const QStringList& answers : {QStringList{""}, QStringList{"fel", ""}}) {
        dialogs.inputAnswers.assign(answers.begin(), answers.end());
        EXPECT_EQ(StartProgram({dialogs, files, [] { return ','; }}), nullptr);
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeWindow());
    }
}

// A flag without a password that can be given: no password file, or one that
// is readable but corrupt (binary, or 1 MB of one line). Each ends the
// program with the hint that removing the flag file removes the password,
// and asks for nothing.
TEST_F(StartupLock, FlagWithoutUsablePasswordSaysHowToRemoveIt) {
    WriteAll(path("numberone"), QByteArray("\x01\x00", 2));
    const std::pair<std::optional<QByteArray>, const char*> cases[] = {
        {std::nullopt, "finns inte"},
        {QByteArray("\x7F" "ELF\x02\x01\x01\x00\x00\x00\x00", 12), "är skadad"},
        {QByteArray(1 << 20, 'x'), "är skadad"},
    };
    for (const auto& [bytes, what] : cases) {
        QFile::remove(path("id"));
        if (bytes) WriteAll(path("id"), *bytes);
        dialogs.messages.clear();
        EXPECT_EQ(StartProgram({dialogs, files, [] { return ','; }}), nullptr);
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const QString& text = dialogs.messages[0].text;
        EXPECT_TRUE(text.contains(QStringLiteral("lösenordsfilen %1 %2").arg(path("id"), what)))
            << text.toStdString();
        EXPECT_TRUE(text.endsWith(
            QStringLiteral("Om du tar bort filen %1 tas lösenordet bort.").arg(path("numberone"))));
        EXPECT_TRUE(dialogs.inputs.empty());
    }
}

// A folder where the flag file belongs is nobody's password: in the root of
// drive C: any user may make one. The program starts without a word.
TEST_F(StartupLock, AFolderWhereTheFlagBelongsLocksNobodyOut) {
    WriteAll(path("id"), "\"pw\"\r\n");
    ASSERT_TRUE(QDir(folder.path()).mkdir("numberone"));
    EXPECT_NE(StartProgram({dialogs, files, [] { return ','; }}), nullptr);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.inputs.empty());
}

// "Skapa lösenord" with a folder where the flag file belongs: the password
// file stays as it was, and the message says that there is still no password
// (a folder is no flag, so none was asked for at start).
TEST_F(StartupLock, AFailedPasswordChangeKeepsTheEarlierPasswordAndSaysSo) {
    open();
    WriteAll(path("id"), "\"old\"\r\n");
    QFile::remove(path("numberone"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("numberone"));
    dialogs.inputAnswers = {QStringLiteral("nytt"), QStringLiteral("nytt")};
    press("SkapaLosen");
    EXPECT_EQ(ReadAll(path("id")), QByteArray("\"old\"\r\n"));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Lösenordet sparades inte: filen %1 kunde inte skrivas (det är en "
                             "mapp).\n\nProgrammet har fortfarande inget lösenord.")
                  .arg(path("numberone")));
}

// "Skapa lösenord" with no password set and a data folder that cannot be
// made (its parent may not be written): the message names the folder and the
// real reason, and speaks of no earlier password.
TEST_F(StartupLock, ADataFolderThatCannotBeMadeIsNamedWithItsReason) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to make a folder nobody may write";
    const QString share = path("share");
    ASSERT_TRUE(QDir(folder.path()).mkdir("share"));
    ::chmod(folder.path().toLocal8Bit().constData(), 0755);
    ::chmod(share.toLocal8Bit().constData(), 0755); // the super-user's, and not for nobody
    const std::string data = QFile::encodeName(share + "/Tolvana").toStdString();
    const storage::PasswordFiles place{data + "/numberone", data + "/id"};
    const QString expected =
        QStringLiteral("Lösenordet sparades inte: mappen %1 kunde inte skapas (behörighet "
                       "saknas).\n\nProgrammet har fortfarande inget lösenord.")
            .arg(share + "/Tolvana");

    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 20;
        MainWindow window(Services{dialogs, PasswordPlaces(place, data), [] { return ','; }});
        dialogs.inputAnswers = {QStringLiteral("nytt"), QStringLiteral("nytt")};
        window.createPassword();
        if (dialogs.messages.size() != 1) return 1;
        if (dialogs.messages[0].text != expected) {
            std::fprintf(stderr, "%s\n", qPrintable(dialogs.messages[0].text));
            return 2;
        }
        return 0;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(QFile::exists(share + "/Tolvana"));
}

// "Skapa lösenord" where a file stands in the way of the data folder (its
// parent, as XDG_DATA_HOME naming a file): the file is named as a file, not
// called missing.
TEST_F(StartupLock, AFileInTheWayOfTheDataFolderIsNamed) {
    WriteAll(path("share"), "x");
    const std::string data = QFile::encodeName(path("share") + "/Tolvana").toStdString();
    MainWindow window(Services{dialogs, PasswordPlaces({data + "/numberone", data + "/id"}, data),
                               [] { return ','; }});
    dialogs.inputAnswers = {QStringLiteral("nytt"), QStringLiteral("nytt")};
    window.createPassword();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Lösenordet sparades inte: mappen %1 kunde inte skapas (%2 är en fil, "
                             "inte en mapp).\n\nProgrammet har fortfarande inget lösenord.")
                  .arg(path("share") + "/Tolvana", path("share")));
}

TEST_F(StartupLock, CreatedPasswordOpensTheNextStart) {
    open();
    dialogs.inputAnswers = {QStringLiteral("Hemlis ä"), QStringLiteral("Hemlis ä")};
    press("SkapaLosen");
    ASSERT_EQ(dialogs.inputs.size(), 2u);
    EXPECT_EQ(dialogs.inputs[0].prompt, "Ange ditt lösen");
    EXPECT_EQ(dialogs.inputs[1].prompt, "Ange samma lösen en gång till");
    for (const auto& input : dialogs.inputs) {
        EXPECT_EQ(input.title, "Ange ditt lösen");
        EXPECT_EQ(input.defaultText, "");
        EXPECT_TRUE(input.hidden);
    }
    EXPECT_EQ(ReadAll(path("numberone")), QByteArray("\x01\x00", 2));
    EXPECT_EQ(ReadAll(path("id")), QByteArray("\"Hemlis \xE4\"\r\n"));
    struct stat status {};
    ASSERT_EQ(::stat(path("id").toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    window.reset();

    dialogs.inputAnswers = {QStringLiteral("Hemlis ä")};
    open();
    EXPECT_TRUE(window->isVisible());
    // The start-up question is one entry, hidden as well.
    ASSERT_EQ(dialogs.inputs.size(), 3u);
    EXPECT_TRUE(dialogs.inputs[2].hidden);
}

// A slip in a hidden entry is caught by the second one: where the two
// differ, or the second is cancelled, nothing is stored.
TEST_F(StartupLock, TwoEntriesThatDifferStoreNothingAndSaySo) {
    open();
    dialogs.inputAnswers = {QStringLiteral("hemligt"), QStringLiteral("hemlgit"),
                            QStringLiteral("hemligt"), QString()};
    press("SkapaLosen");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              "De två lösenorden är inte lika, så inget lösenord sparades. Programmet har "
              "fortfarande inget lösenord.");
    press("SkapaLosen");
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.inputs.size(), 4u);
    EXPECT_EQ(ReadAll(path("numberone")), QByteArray());
    EXPECT_FALSE(QFile::exists(path("id")));
}

TEST_F(StartupLock, PasswordsThatCouldLockTheUserOutAreRefused) {
    open();
    dialogs.inputAnswers = {"", QStringLiteral("a\"b"), QStringLiteral("łoś"),
                            QStringLiteral("a\tb")};
    for (int i = 0; i < 4; ++i) press("SkapaLosen");
    ASSERT_EQ(dialogs.messages.size(), 3u);
    // A tab (pasted) could never be typed at the prompt.
    EXPECT_EQ(dialogs.messages[2].text,
              QStringLiteral("Lösenordet sparades inte: det innehåller tecknet tabb (kod 9), som "
                             "inte kan skrivas in när programmet startar."));
    EXPECT_EQ(ReadAll(path("numberone")), QByteArray());
    EXPECT_FALSE(QFile::exists(path("id")));
}

// A link to a file that is gone (a moved disk, a renamed folder) is told, with
// where it points, from the dialogs and from the command line alike; the
// boxes keep what they held.
TEST_F(FileCommands, ABrokenLinkIsTold) {
    for (const char* name : {"brev.crp", "brev.txt"})
        ASSERT_TRUE(QFile::link(path("flyttad"), path(name)));
    cipher()->setText("\n9");
    clear()->setText("before");
    dialogs.fileAnswers = {path("brev.crp"), path("brev.txt")};
    choose("open");
    choose("chopen");
    window->openPath(path("brev.crp"));
    EXPECT_EQ(cipher()->text(), "\n9");
    EXPECT_EQ(clear()->text(), "before");
    ASSERT_EQ(dialogs.messages.size(), 3u);
    for (const auto& message : dialogs.messages)
        EXPECT_TRUE(message.text.contains(u"flyttad, som inte finns")) << message.text.toStdString();
}

} // namespace
} // namespace tolvana::ui
