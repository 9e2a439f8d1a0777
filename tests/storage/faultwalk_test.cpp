// Every system call of a save, an open and a password change fails in turn,
// with each error a device or the system can give, as the most trusted
// storage engines test their file layer. After each failure the file holds
// its old bytes or its new ones, whole; nothing is left beside it; and the
// user is told a worded reason, or the call was tried again and the work
// done.

#include "storage/files.h"
#include "storage/passwordstore.h"
#include "storage/platform_posix.h"
#include "tests/storage/support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/xattr.h>

namespace tolvana::storage {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using platform::posix::CallsMade;
using platform::posix::FailCall;

const int kErrors[] = {EIO, ENOSPC, EINTR, EFBIG, EACCES};

struct Tally {
    long tried = 0;
    long losses = 0;
};

// Runs `work` once for every system call it makes, failing that call with
// each error in turn; `check(failure)` judges what is left after each run,
// where `failure` is the reason told, or none where the work was done.
void Walk(const char* what, const std::function<void()>& prepare,
          const std::function<void()>& work,
          const std::function<bool(const std::optional<StorageError>&)>& check, Tally& tally) {
    for (int error : kErrors) {
        for (long call = 1;; ++call) {
            SCOPED_TRACE(std::string(what) + ": call " + std::to_string(call) + " fails with " +
                         std::strerror(error));
            prepare();
            std::optional<StorageError> failure;
            FailCall(call, error);
            try {
                work();
            } catch (const StorageError& e) {
                failure = e;
            }
            const long made = CallsMade();
            FailCall(0, 0);
            if (made < call) break; // the work made fewer calls: every one has failed
            ++tally.tried;
            if (!check(failure)) ++tally.losses;
            // A reason with words of its own, never "systemfel N".
            if (failure) {
                EXPECT_NE(failure->reason(), StorageError::Reason::Other) << failure->what();
            }
        }
    }
}

class FaultWalk : public ::testing::Test {
protected:
    static void TearDownTestSuite() {
        std::printf("fault walk: %ld calls x errors tried, %ld losses\n", total.tried,
                    total.losses);
    }
    static Tally total;
};
Tally FaultWalk::total;

const std::string kOld = "\"old\"\r\n";
const std::string kNew = "\"" + std::string(70000, 'n') + "\"\r\n";

void SaveNew(const std::string& path) {
    OutputFile file = OpenForOutput(path);
    file.WriteField(kNew.substr(1, kNew.size() - 4));
    file.Close();
}

// A save over an old file, over none, through named and unnamed temporary
// files, with short writes too: old or new, whole, and nothing beside it.
TEST_F(FaultWalk, EveryCallOfASave) {
    for (const bool unnamed : {true, false}) {
        for (const bool earlier : {true, false}) {
            for (const bool shortWrites : {false, true}) {
                TempDir dir;
                const std::string target = dir / "brev.crp";
                platform::posix::UseUnnamedTemporaryFiles(unnamed);
                platform::posix::UseShortWrites(shortWrites);
                const auto prepare = [&] {
                    std::filesystem::remove(target);
                    if (!earlier) return;
                    WriteBytes(target, kOld);
                    ::setxattr(target.c_str(), "user.tolvana", "x", 1, 0); // where it can
                };
                Walk("save", prepare, [&] { SaveNew(target); },
                     [&](const std::optional<StorageError>& failure) {
                         const bool exists = std::filesystem::exists(target);
                         const std::string now = exists ? ReadBytes(target) : "<none>";
                         const bool whole = now == kNew || now == (earlier ? kOld : "<none>");
                         const bool alone =
                             dir.Names() == (exists ? std::set<std::string>{"brev.crp"}
                                                    : std::set<std::string>{});
                         EXPECT_TRUE(whole) << now.size() << " bytes";
                         EXPECT_TRUE(alone);
                         if (!failure) {
                             EXPECT_EQ(now, kNew);
                         }
                         return whole && alone && (failure || now == kNew);
                     },
                     total);
                platform::posix::UseShortWrites(false);
                platform::posix::UseUnnamedTemporaryFiles(true);
            }
        }
    }
}

// Opening a ".crp" or importing a ".txt": a failed read never gives part of
// the file as if it were whole.
TEST_F(FaultWalk, EveryCallOfAnOpen) {
    TempDir dir;
    WriteBytes(dir / "brev.crp", kNew);
    Walk("open", [] {}, [&] { OpenForInput(dir / "brev.crp", testing::kAnySize).ReadField(); },
         [](const std::optional<StorageError>&) { return true; }, total);
    std::string read;
    Walk("import", [&] { read.clear(); },
         [&] { read = ReadFileBytes(dir / "brev.crp", testing::kAnySize); },
         [&](const std::optional<StorageError>& failure) {
             EXPECT_TRUE(failure || read == kNew);
             return failure || read == kNew;
         },
         total);
}

// A new password over an old one: after any failure both files are as they
// were, and after success both hold the new password.
TEST_F(FaultWalk, EveryCallOfAPasswordChange) {
    TempDir dir;
    const PasswordFiles files{dir / "numberone", dir / "id"};
    const auto prepare = [&] {
        WriteBytes(files.flagPath, std::string("\x01\x00", 2));
        WriteBytes(files.passwordPath, kOld);
        ::chmod(files.flagPath.c_str(), 0600);
        ::chmod(files.passwordPath.c_str(), 0600);
    };
    Walk("password", prepare, [&] { StorePassword(files, "nytt"); },
         [&](const std::optional<StorageError>& failure) {
             const std::string flag = ReadBytes(files.flagPath);
             const std::string password = ReadBytes(files.passwordPath);
             const bool old = password == kOld && flag == std::string("\x01\x00", 2);
             const bool changed = password == "\"nytt\"\r\n" && FlagIsSet(files.flagPath);
             const bool alone = dir.Names() == std::set<std::string>{"id", "numberone"};
             EXPECT_TRUE(failure ? old || changed : changed);
             EXPECT_TRUE(alone);
             return (failure ? old || changed : changed) && alone;
         },
         total);
}

} // namespace
} // namespace tolvana::storage
