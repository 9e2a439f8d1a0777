// The windows and tolvana-cipher tell every storage failure reason and every
// cipher error in the same words: each is made to fail in the same way, and
// both messages must hold the catalogue's words for it.

#include "messages/messages.h"
#include "storage/platform_posix.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_dialogs.h"
#include "tools/cipher_tool.h"
#include "ui/forms/mainwindow.h"
#include "ui/platform/nativepath.h"
#include "ui/textbox/codetextbox.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvana {
namespace {

using storage::StorageError;
using Reason = StorageError::Reason;
using storage::platform::posix::FailNext;
using storage::platform::posix::Operation;

class Agreement : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ::chmod(QFile::encodeName(folder.path()).constData(), 0777);
        window = std::make_unique<ui::MainWindow>(ui::Services{
            dialogs, storage::PasswordFiles{path("numberone"), path("id")}, [] { return ','; }});
    }

    std::string path(const char* name) const { return ui::StoragePath(folder.path()) + "/" + name; }

    // What the window says when it saves cipher text as `target`.
    std::string windowSaving(const std::string& target) {
        window->cipherTextBox()->setText(QStringLiteral("\n153"));
        dialogs.messages.clear();
        dialogs.fileAnswers = {ui::QtPath(target)};
        window->findChild<QAction*>(QStringLiteral("save"))->trigger();
        return dialogs.messages.size() == 1 ? dialogs.messages[0].text.toStdString() : "";
    }

    // What the window says when it runs a cipher command on `text`.
    std::string windowRunning(bool encrypt, const QString& text) {
        dialogs.messages.clear();
        if (encrypt) {
            window->clearTextBox()->setText(text);
            window->encrypt();
        } else {
            window->cipherTextBox()->setText(text);
            window->decrypt();
        }
        return dialogs.messages.size() == 1 ? dialogs.messages[0].text.toStdString() : "";
    }

    // What the tool writes to standard error when run with `arguments` and
    // `input` on standard input.
    std::string tool(const std::vector<std::string>& arguments, const std::string& input = "a") {
        std::ofstream(path(".in"), std::ios::binary) << input;
        const int in = ::open(path(".in").c_str(), O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        const int err = ::open(path(".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        tool::Run(arguments, in, out, err, ',');
        ::close(in), ::close(out), ::close(err);
        std::ifstream read(path(".err"), std::ios::binary);
        return {std::istreambuf_iterator<char>(read), {}};
    }
    std::string toolSaving(const std::string& target) { return tool({"kryptera", "-o", target}); }

    QTemporaryDir folder;
    testing::ScriptedDialogs dialogs;
    std::unique_ptr<ui::MainWindow> window;
};

// Both messages hold `words`; the failure of the test names them.
#define EXPECT_BOTH_SAY(windowMessage, toolMessage, words)                                         \
    do {                                                                                           \
        const std::string said = (words);                                                          \
        EXPECT_NE((windowMessage).find(said), std::string::npos) << windowMessage;                 \
        EXPECT_NE((toolMessage).find(said), std::string::npos) << toolMessage;                     \
    } while (false)

// The reasons that the system's error codes give, made to happen where a
// saved file takes its place, and those that real files give.
TEST_F(Agreement, EveryReasonASaveFailsFor) {
    for (const auto& [error, reason] :
         {std::pair{EACCES, Reason::NoPermission}, std::pair{ENOSPC, Reason::DiskFull},
          std::pair{EROFS, Reason::ReadOnlyFileSystem}, std::pair{EIO, Reason::DeviceError}}) {
        FailNext(Operation::Replace, error);
        const std::string fromWindow = windowSaving(path("x.crp"));
        FailNext(Operation::Replace, error);
        const std::string fromTool = toolSaving(path("x.crp"));
        FailNext(Operation::Replace, 0);
        EXPECT_BOTH_SAY(fromWindow, fromTool, messages::StorageReason(reason, error));
    }

    ASSERT_EQ(::mkdir(path("folder.crp").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo(path("pipe.crp").c_str(), 0600), 0);
    for (const auto& [name, reason] :
         {std::pair{"missing/x.crp", Reason::NotFound}, std::pair{"folder.crp", Reason::IsFolder},
          std::pair{"pipe.crp", Reason::NotRegularFile}})
        EXPECT_BOTH_SAY(windowSaving(path(name)), toolSaving(path(name)),
                        messages::StorageReason(reason, 0));
}

// A file larger than either reads: the same words, each with its own limit.
TEST_F(Agreement, AFileTooLargeToRead) {
    const std::string big = path("big.crp");
    { std::ofstream(big) << ""; }
    ASSERT_EQ(::truncate(big.c_str(), std::int64_t{2} << 30), 0); // sparse: takes no room
    dialogs.messages.clear();
    window->openCipherPath(ui::QtPath(big));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const std::string fromWindow = dialogs.messages[0].text.toStdString();
    const std::string fromTool = tool({"dekryptera", big});
    for (const std::string& message : {fromWindow, fromTool}) {
        const auto words = messages::StorageReason(StorageError::TooLarge(big, 2ull << 30, 0));
        // "filen är 2 GB stor, och högst " and the reader's own maximum.
        EXPECT_NE(message.find(words.substr(0, words.find("högst") + 6)), std::string::npos)
            << message;
    }
}

// A file the user may write but that is not replaced: both say what stops
// the save and what the user can do, as an ordinary user.
TEST_F(Agreement, TheReasonsThatKeepAWritableFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to give files away";
    std::ofstream(path("theirs.crp")) << "\"\n153\"\r\n"; // the super-user's, writable by all
    ::chmod(path("theirs.crp").c_str(), 0666);
    ASSERT_EQ(::mkdir(path("locked").c_str(), 0755), 0);
    std::ofstream(path("locked") + "/own.crp") << "\"\n153\"\r\n";
    ::chown((path("locked") + "/own.crp").c_str(), testing::kNobody, testing::kNoGroup);

    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 20;
        int failures = 0;
        for (const auto& [target, reason] :
             {std::pair{path("theirs.crp"), Reason::OwnerNotKept},
              std::pair{path("locked") + "/own.crp", Reason::FolderNotWritable}}) {
            const std::string fromWindow = windowSaving(target), fromTool = toolSaving(target);
            for (const std::string& words :
                 {messages::StorageReason(reason, 0), messages::SaveAdvice(reason)})
                for (const std::string& message : {fromWindow, fromTool})
                    if (words.empty() || message.find(words) == std::string::npos) {
                        std::fprintf(stderr, "not \"%s\" in: %s\n", words.c_str(), message.c_str());
                        failures |= 1;
                    }
        }
        return failures;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
}

TEST_F(Agreement, EveryCipherError) {
    EXPECT_BOTH_SAY(windowRunning(false, QStringLiteral("\n115,5\nabc")),
                    tool({"dekryptera"}, "\n115,5\nabc"),
                    messages::CannotDecrypt({DecodeFailure::Reason::NotANumber, "abc", 3}));
    EXPECT_BOTH_SAY(windowRunning(false, QStringLiteral("\n1000")), tool({"dekryptera"}, "\n1000"),
                    messages::CannotDecrypt({DecodeFailure::Reason::NotACode, "1000", 2}));
    // Control characters in a token are named alike.
    EXPECT_BOTH_SAY(windowRunning(false, QStringLiteral("\n1\t5\x01")),
                    tool({"dekryptera"}, "\n1\t5\x01"),
                    messages::CannotDecrypt({DecodeFailure::Reason::NotANumber, "1\t5\x01", 2}));
    EXPECT_BOTH_SAY(windowRunning(true, QStringLiteral("ok\r\nł")),
                    tool({"kryptera"}, "ok\r\n\xC5\x82"), messages::CannotEncrypt(U'ł', 2));
}

} // namespace
} // namespace tolvana
