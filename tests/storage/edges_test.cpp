// The file layer at the edges of the system: planted links, hard links, ACLs
// and extended attributes, the user's file size limit, signals during a save,
// and a worded reason for every error code the system documents.

#include "storage/files.h"
#include "storage/platform.h"
#include "storage/platform_posix.h"
#include "tests/storage/support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace tolvana::storage {
namespace {

using testing::ExpectStorageError;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Kind = StorageError::Kind;
using Reason = StorageError::Reason;
using Names = std::set<std::string>;

const std::string kOld = "\"old\"\r\n";

void Save(const std::string& path, const std::string& text = "saved") {
    OutputFile file = OpenForOutput(path);
    file.WriteField(text);
    file.Close();
}

// A link that another user planted in a sticky folder everyone may write is
// not followed to the file it points at, whatever fs.protected_symlinks says;
// the user's own link there is.
TEST(EdgesTest, APlantedLinkInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user takes the super-user";
    TempDir dir;
    const std::string shared = dir / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    WriteBytes(dir / "victim", kOld);
    const std::string planted = shared + "/brev.crp";
    std::filesystem::create_symlink(dir / "victim", planted);
    ASSERT_EQ(::lchown(planted.c_str(), 65534, 65534), 0);

    ExpectStorageError([&] { Save(planted); }, Kind::CannotOpen, planted, Reason::NoPermission);
    EXPECT_EQ(ReadBytes(dir / "victim"), kOld);
    EXPECT_TRUE(std::filesystem::is_symlink(planted));

    // Nor is a planted link written through as a record file (a password flag).
    ExpectStorageError([&] { OpenForRecords(planted); }, Kind::CannotOpen, planted,
                       Reason::NoPermission);
    EXPECT_EQ(ReadBytes(dir / "victim"), kOld);

    ASSERT_EQ(::lchown(planted.c_str(), 0, 0), 0); // now the user's own link
    Save(planted);
    EXPECT_EQ(ReadBytes(dir / "victim"), "\"saved\"\r\n");
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
}

// A file with a second name is not split from it: the save is refused and
// both names keep the old text.
TEST(EdgesTest, AFileWithOtherNamesIsNotSplitOff) {
    TempDir dir;
    WriteBytes(dir / "brev.crp", kOld);
    ASSERT_EQ(::link((dir / "brev.crp").c_str(), (dir / "kopia.crp").c_str()), 0);
    ExpectStorageError([&] { Save(dir / "brev.crp"); }, Kind::CannotOpen, dir / "brev.crp",
                       Reason::HasOtherNames);
    EXPECT_EQ(ReadBytes(dir / "brev.crp"), kOld);
    EXPECT_EQ(ReadBytes(dir / "kopia.crp"), kOld);
    EXPECT_EQ(dir.Names(), (Names{"brev.crp", "kopia.crp"}));
}

// An access ACL in the kernel's form: a header, then one entry a rule.
std::string Acl(std::initializer_list<std::array<unsigned, 3>> entries) {
    std::string bytes;
    const auto put = [&](unsigned value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(2, 4); // version
    for (const auto& [tag, permissions, id] : entries) {
        put(tag, 2);
        put(permissions, 2);
        put(id, 4);
    }
    return bytes;
}
enum : unsigned { kUserObj = 1, kUser = 2, kGroupObj = 4, kMask = 0x10, kOther = 0x20 };
constexpr unsigned kAnyone = 0xFFFFFFFF;

std::string Attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? "<none>" : std::string(value, static_cast<std::size_t>(size));
}

// The replaced file keeps its ACL and the user's attributes, and its group
// keeps the rights it had: under an ACL the group bits hold the mask, and
// giving them to the group would let it read and write.
TEST(EdgesTest, AReplacedFileKeepsItsAclAndAttributes) {
    TempDir dir;
    const std::string file = dir / "brev.crp";
    WriteBytes(file, kOld);
    ::chmod(file.c_str(), 0600);
    const std::string acl = Acl({{kUserObj, 6, kAnyone},
                                 {kUser, 6, 65534},
                                 {kGroupObj, 0, kAnyone},
                                 {kMask, 6, kAnyone},
                                 {kOther, 0, kAnyone}});
    if (::setxattr(file.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0 ||
        ::setxattr(file.c_str(), "user.tolvana.test", "kept", 4, 0) != 0)
        GTEST_SKIP() << "this file system keeps no ACLs or attributes: " << std::strerror(errno);
    const unsigned mode = testing::ModeOf(file);

    Save(file);
    EXPECT_EQ(ReadBytes(file), "\"saved\"\r\n");
    EXPECT_EQ(Attribute(file, "system.posix_acl_access"), acl);
    EXPECT_EQ(Attribute(file, "user.tolvana.test"), "kept");
    EXPECT_EQ(testing::ModeOf(file), mode);
    EXPECT_EQ(dir.Names(), Names{"brev.crp"});
}

// A folder's default ACL, which the new file inherits, does not stay on a
// file that had no ACL: nobody gains a right the old file did not give.
TEST(EdgesTest, AnInheritedAclTheOldFileLackedIsTakenAway) {
    TempDir dir;
    WriteBytes(dir / "brev.crp", kOld);
    ::chmod((dir / "brev.crp").c_str(), 0600);
    const std::string acl = Acl({{kUserObj, 7, kAnyone},
                                 {kUser, 6, 65534},
                                 {kGroupObj, 0, kAnyone},
                                 {kMask, 6, kAnyone},
                                 {kOther, 0, kAnyone}});
    if (::setxattr(dir.path().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "this file system keeps no ACLs: " << std::strerror(errno);
    Save(dir / "brev.crp");
    EXPECT_EQ(Attribute(dir / "brev.crp", "system.posix_acl_access"), "<none>");
    EXPECT_EQ(testing::ModeOf(dir / "brev.crp"), 0600u);
}

// Under the user's file size limit a save fails with a worded reason and
// leaves the old file whole, with nothing beside it; the process lives on.
TEST(EdgesTest, TheFileSizeLimitIsAWordedFailure) {
    TempDir dir;
    WriteBytes(dir / "brev.crp", kOld);
    const int code = testing::RunInChild([&] {
        platform::GuardProcess();
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        try {
            Save(dir / "brev.crp", std::string(100000, 'k'));
        } catch (const StorageError& error) {
            return error.reason() == Reason::FileSizeLimit ? 0 : 3;
        }
        return 4;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(dir / "brev.crp"), kOld);
    EXPECT_EQ(dir.Names(), Names{"brev.crp"});
}

// Where the file system has no unnamed files, an interrupt, a termination or
// a hang-up during a save removes the named temporary file, and the process
// still ends by that signal.
TEST(EdgesTest, ASignalDuringASaveLeavesNoTemporaryFile) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        WriteBytes(dir / "brev.crp", kOld);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            platform::GuardProcess();
            platform::posix::UseUnnamedTemporaryFiles(false);
            OutputFile file = OpenForOutput(dir / "brev.crp");
            file.WriteField(std::string(100000, 'k'));
            (void)!::write(ready[1], "x", 1);
            ::pause();
            ::_exit(1);
        }
        char byte;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        EXPECT_EQ(dir.Names().size(), 2u); // the temporary file is there
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(ready[0]);
        ::close(ready[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_EQ(ReadBytes(dir / "brev.crp"), kOld);
        EXPECT_EQ(dir.Names(), Names{"brev.crp"});
    }
}

// A link to a file that is gone says so, and where it points.
TEST(EdgesTest, ABrokenLinkIsToldApartFromAMissingFile) {
    TempDir dir;
    std::filesystem::create_symlink("/media/usb/brev.crp", dir / "brev.crp");
    try {
        ReadFileBytes(dir / "brev.crp", testing::kAnySize);
        ADD_FAILURE() << "a broken link was read";
    } catch (const StorageError& error) {
        EXPECT_EQ(error.kind(), Kind::NotFound);
        EXPECT_EQ(error.reason(), Reason::BrokenLink);
        EXPECT_EQ(error.detail(), "/media/usb/brev.crp");
    }
    ExpectStorageError([&] { ReadFileBytes(dir / "saknas.crp", testing::kAnySize); },
                       Kind::NotFound, dir / "saknas.crp", Reason::NotFound);
}

// Every code that open, read, write, fsync, close, rename, linkat, fchmod,
// fchown, the attribute calls, opendir and stat are documented to give has a
// reason of its own: "systemfel N" is left for codes nobody documents.
TEST(EdgesTest, EveryDocumentedErrorCodeHasAReason) {
    const int documented[] = {
        E2BIG,  EACCES, EAGAIN,  EBADF,  EBUSY,     EDESTADDRREQ, EDQUOT,    EEXIST,
        EFAULT, EFBIG,  EINTR,   EINVAL, EIO,       EISDIR,       ELOOP,     EMFILE,
        EMLINK, ENAMETOOLONG,    ENFILE, ENODATA,   ENODEV,       ENOENT,    ENOLCK,
        ENOMEM, ENOSPC, ENOTDIR, ENOTEMPTY,         ENOTSUP,      ENXIO,     EOPNOTSUPP,
        EOVERFLOW,      EPERM,   EPIPE,  ERANGE,    EROFS,        ESTALE,    ETXTBSY,
        EWOULDBLOCK,    EXDEV};
    for (int error : documented) {
        SCOPED_TRACE(std::strerror(error));
        EXPECT_NE(platform::posix::ReasonOfErrno(error), Reason::Other);
    }
    EXPECT_EQ(platform::posix::ReasonOfErrno(ENAMETOOLONG), Reason::NameTooLong);
    EXPECT_EQ(platform::posix::ReasonOfErrno(ENOTDIR), Reason::NotAFolder);
    EXPECT_EQ(platform::posix::ReasonOfErrno(EFBIG), Reason::FileSizeLimit);
    EXPECT_EQ(platform::posix::ReasonOfErrno(EHWPOISON), Reason::Other);
}

// A name longer than the system allows is told as such, reading and saving.
TEST(EdgesTest, ATooLongNameIsToldInWords) {
    TempDir dir;
    const std::string name = dir / (std::string(300, 'a') + ".crp");
    ExpectStorageError([&] { ReadFileBytes(name, testing::kAnySize); }, Kind::CannotOpen, name,
                       Reason::NameTooLong);
    ExpectStorageError([&] { Save(name); }, Kind::CannotOpen, name, Reason::NameTooLong);
}

} // namespace
} // namespace tolvana::storage
