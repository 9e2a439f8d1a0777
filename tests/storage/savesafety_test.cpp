// A save must never destroy the file it replaces: whatever fails, the old file
// stays byte for byte and no temporary file is left behind.

#include "storage/files.h"
#include "tests/storage/support.h"

#include <csignal>
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

} // namespace
} // namespace tolvana::storage
