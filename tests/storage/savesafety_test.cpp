// A save must never destroy the file it replaces: whatever fails, the old file
// stays byte for byte and no temporary file is left behind.

#include "storage/files.h"
#include "tests/storage/support.h"

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>

namespace tolvana::storage {
namespace {

using testing::ExpectStorageError;
using testing::ModeOf;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Names = std::set<std::string>;
using Kind = StorageError::Kind;

const std::string kOld = "\"\n153\n154,5\n156\"\r\n";

void Save(const std::string& path, Permissions permissions = Permissions::Ordinary) {
    OutputFile file = OpenForOutput(path, permissions);
    file.WriteField("saved");
    file.Close();
}

TEST(SaveSafetyTest, TargetUntouchedUntilClose) {
    TempDir dir;
    WriteBytes(dir / "f.crp", kOld);
    {
        OutputFile file = OpenForOutput(dir / "f.crp");
        file.WriteField("new");
        EXPECT_EQ(ReadBytes(dir / "f.crp"), kOld);
    } // destroyed without Close
    { OutputFile unused = OpenForOutput(dir / "new.crp"); }
    EXPECT_EQ(ReadBytes(dir / "f.crp"), kOld);
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
}

TEST(SaveSafetyTest, NoFolderToSaveIn) {
    TempDir dir;
    for (const std::string& path : {dir / "no-folder/f.crp", dir.path(), dir.path() + "/"})
        ExpectStorageError([&] { OpenForOutput(path); }, Kind::CannotOpen, path);
    EXPECT_TRUE(dir.Names().empty());
}

// A write that fails partway (the file size limit stops it with EFBIG).
TEST(SaveSafetyTest, FailedWriteKeepsTheOldFile) {
    TempDir dir;
    const std::string old = kOld + std::string(3000, 'o');
    WriteBytes(dir / "f.crp", old);
    int code = testing::RunInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        OutputFile file = OpenForOutput(dir / "f.crp");
        try {
            file.WriteField(std::string(100000, 'n'));
            file.Close();
        } catch (const StorageError& e) {
            return e.kind() == Kind::WriteFailed && e.systemCode() == EFBIG ? 0 : 11;
        }
        return 12;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(dir / "f.crp"), old);
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
}

TEST(SaveSafetyTest, FailedRenameRemovesTheTemporaryFile) {
    TempDir dir;
    OutputFile file = OpenForOutput(dir / "f.crp");
    file.WriteField("new");
    std::filesystem::create_directories(dir / "f.crp/inside"); // the target became a folder
    ExpectStorageError([&] { file.Close(); }, Kind::WriteFailed, dir / "f.crp");
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
    EXPECT_TRUE(std::filesystem::exists(dir / "f.crp/inside"));
    file.Close(); // closed already: does nothing
}

TEST(SaveSafetyTest, Permissions) {
    TempDir dir;
    mode_t oldMask = ::umask(022);
    Save(dir / "new.crp");
    Save(dir / "new-id", Permissions::OwnerOnly);
    WriteBytes(dir / "kept.crp", kOld);
    ::chmod((dir / "kept.crp").c_str(), 0640);
    Save(dir / "kept.crp");
    WriteBytes(dir / "id", kOld);
    ::chmod((dir / "id").c_str(), 0666);
    Save(dir / "id", Permissions::OwnerOnly);
    ::umask(oldMask);

    EXPECT_EQ(ModeOf(dir / "new.crp"), 0644u);
    EXPECT_EQ(ModeOf(dir / "new-id"), 0600u);
    EXPECT_EQ(ModeOf(dir / "kept.crp"), 0640u);
    EXPECT_EQ(ModeOf(dir / "id"), 0600u);
}

TEST(SaveSafetyTest, SymbolicLinkKeepsPointingAtTheSavedFile) {
    TempDir dir;
    WriteBytes(dir / "real.crp", kOld);
    std::filesystem::create_symlink("real.crp", dir / "link.crp");
    Save(dir / "link.crp");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.crp"));
    EXPECT_EQ(ReadBytes(dir / "real.crp"), "\"saved\"\r\n");
    EXPECT_EQ(dir.Names(), (Names{"link.crp", "real.crp"}));
}

// Whether `folder` takes unnamed (O_TMPFILE) files.
bool TakesUnnamedFiles(const std::string& folder) {
#ifdef O_TMPFILE
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
#else
    (void)folder;
    return false;
#endif
}

// The new version has no name until it replaces the old one, so a save that is
// killed midway leaves nothing behind.
TEST(SaveSafetyTest, KilledSaveLeavesNothingBehind) {
    TempDir dir;
    if (!TakesUnnamedFiles(dir.path())) GTEST_SKIP() << "no O_TMPFILE here";
    WriteBytes(dir / "f.crp", kOld);
    {
        OutputFile file = OpenForOutput(dir / "f.crp");
        file.WriteField("new");
        EXPECT_EQ(dir.Names(), Names{"f.crp"});
        file.Close();
    }
    EXPECT_EQ(ReadBytes(dir / "f.crp"), "\"new\"\r\n");

    int code = testing::RunInChild([&] {
        OutputFile file = OpenForOutput(dir / "f.crp");
        file.WriteField(std::string(100000, 'k'));
        ::kill(::getpid(), SIGKILL);
        return 1;
    });
    EXPECT_EQ(code, -1); // killed
    EXPECT_EQ(ReadBytes(dir / "f.crp"), "\"new\"\r\n");
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
}

// Where the file system has no unnamed files, a named one beside the target
// does the same work and is removed on every path.
TEST(SaveSafetyTest, NamedTemporaryFileWhereUnnamedOnesAreMissing) {
    platform::posix::UseUnnamedTemporaryFiles(false);
    TempDir dir;
    WriteBytes(dir / "f.crp", kOld);
    {
        OutputFile file = OpenForOutput(dir / "f.crp");
        file.WriteField("lost");
        EXPECT_EQ(dir.Names().size(), 2u);
    }
    EXPECT_EQ(ReadBytes(dir / "f.crp"), kOld);
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
    ::chmod((dir / "f.crp").c_str(), 0604);
    Save(dir / "f.crp");
    platform::posix::UseUnnamedTemporaryFiles(true);
    EXPECT_EQ(ReadBytes(dir / "f.crp"), "\"saved\"\r\n");
    EXPECT_EQ(ModeOf(dir / "f.crp"), 0604u);
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
}

// A file without any write bit was made read-only on purpose: even the
// super-user's save is refused before anything is written.
TEST(SaveSafetyTest, ReadOnlyFileIsNotReplaced) {
    TempDir dir;
    WriteBytes(dir / "f.crp", kOld);
    ::chmod((dir / "f.crp").c_str(), 0444);
    for (Permissions permissions : {Permissions::Ordinary, Permissions::OwnerOnly})
        ExpectStorageError([&] { OpenForOutput(dir / "f.crp", permissions); }, Kind::CannotOpen,
                           dir / "f.crp", StorageError::Reason::NoPermission);
    EXPECT_EQ(ReadBytes(dir / "f.crp"), kOld);
    EXPECT_EQ(ModeOf(dir / "f.crp"), 0444u);
    EXPECT_EQ(dir.Names(), Names{"f.crp"});
}

struct Stat {
    uid_t uid;
    gid_t gid;
    unsigned mode;
    bool operator==(const Stat&) const = default;
};

Stat StatOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    return {st.st_uid, st.st_gid, static_cast<unsigned>(st.st_mode & 07777)};
}

TEST(SaveSafetyTest, ReplacedFileKeepsOwnerGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to give files away";
    TempDir dir;
    WriteBytes(dir / "f.crp", kOld);
    ASSERT_EQ(::chown((dir / "f.crp").c_str(), testing::kNobody, testing::kNoGroup), 0);
    ::chmod((dir / "f.crp").c_str(), 0604);
    Save(dir / "f.crp");
    EXPECT_EQ(ReadBytes(dir / "f.crp"), "\"saved\"\r\n");
    EXPECT_EQ(StatOf(dir / "f.crp"), (Stat{testing::kNobody, testing::kNoGroup, 0604u}));
}

// As an ordinary user in a folder that user may write: a file of another user
// is never replaced, neither one the user may not write (NoPermission) nor
// one the user may write, by its bits or as a member of its group, but whose
// owner could not be kept (OwnerNotKept). The user's own file is replaced and
// keeps its mode.
TEST(SaveSafetyTest, FilesOfOtherUsersAreNotReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to give files away";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    WriteBytes(dir / "theirs.crp", kOld);
    ::chmod((dir / "theirs.crp").c_str(), 0644);
    WriteBytes(dir / "shared.crp", kOld);
    ::chmod((dir / "shared.crp").c_str(), 0666);
    WriteBytes(dir / "group.crp", kOld); // root:nogroup 0664, and nobody is in nogroup
    ::chown((dir / "group.crp").c_str(), 0, testing::kNoGroup);
    ::chmod((dir / "group.crp").c_str(), 0664);
    WriteBytes(dir / "own.crp", kOld);
    ::chown((dir / "own.crp").c_str(), testing::kNobody, testing::kNoGroup);
    ::chmod((dir / "own.crp").c_str(), 0640);
    const Stat theirs = StatOf(dir / "theirs.crp"), shared = StatOf(dir / "shared.crp"),
               group = StatOf(dir / "group.crp");

    using Reason = StorageError::Reason;
    int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 20;
        int failures = 0;
        const std::pair<const char*, Reason> refused[] = {
            {"theirs.crp", Reason::NoPermission},
            {"shared.crp", Reason::OwnerNotKept},
            {"group.crp", Reason::OwnerNotKept},
        };
        for (const auto& [name, reason] : refused) {
            try {
                Save(dir / name);
                failures |= 1;
            } catch (const StorageError& e) {
                if (e.reason() != reason) failures |= 2;
            }
        }
        Save(dir / "own.crp");
        return failures;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
    for (const char* name : {"theirs.crp", "shared.crp", "group.crp"})
        EXPECT_EQ(ReadBytes(dir / name), kOld) << name;
    EXPECT_EQ(StatOf(dir / "theirs.crp"), theirs);
    EXPECT_EQ(StatOf(dir / "shared.crp"), shared);
    EXPECT_EQ(StatOf(dir / "group.crp"), group);
    EXPECT_EQ(ReadBytes(dir / "own.crp"), "\"saved\"\r\n");
    EXPECT_EQ(StatOf(dir / "own.crp"), (Stat{testing::kNobody, testing::kNoGroup, 0640u}));
    EXPECT_EQ(dir.Names(), (Names{"group.crp", "own.crp", "shared.crp", "theirs.crp"}));
}

// The user's own writable file in a folder the user may not write: it could
// only be written in place, so it is refused as such (FolderNotWritable),
// while a new file there is refused for want of permission.
TEST(SaveSafetyTest, AWritableFileInAFolderThatIsNotIsNotReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs the super-user to give files away";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    WriteBytes(dir / "own.crp", kOld);
    ::chown((dir / "own.crp").c_str(), testing::kNobody, testing::kNoGroup);
    ::chmod((dir / "own.crp").c_str(), 0644);

    using Reason = StorageError::Reason;
    int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 20;
        int failures = 0;
        const std::pair<const char*, Reason> refused[] = {
            {"own.crp", Reason::FolderNotWritable},
            {"new.crp", Reason::NoPermission},
        };
        for (const auto& [name, reason] : refused) {
            for (Permissions permissions : {Permissions::Ordinary, Permissions::OwnerOnly}) {
                try {
                    Save(dir / name, permissions);
                    failures |= 1;
                } catch (const StorageError& e) {
                    if (e.reason() != reason || e.path() != dir / name) failures |= 2;
                }
            }
        }
        return failures;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(dir / "own.crp"), kOld);
    EXPECT_EQ(dir.Names(), Names{"own.crp"});
}

} // namespace
} // namespace tolvana::storage
