#include "storage/passwordstore.h"

#include "storage/files.h"
#include "tests/storage/support.h"

#include <optional>
#include <sys/stat.h>

namespace tolvana::storage {
namespace {

using namespace std::string_literals;
using testing::ModeOf;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Cause = PasswordMissing::Cause;

struct PasswordStoreTest : ::testing::Test {
    TempDir dir;
    PasswordFiles files{dir / "numberone", dir / "id"};
};

TEST_F(PasswordStoreTest, FirstStartCreatesAnEmptyFlagAndLeavesThePasswordAlone) {
    EXPECT_TRUE(std::holds_alternative<NoPassword>(ReadPasswordState(files)));
    EXPECT_EQ(ReadBytes(files.flagPath), "");
    EXPECT_EQ(ModeOf(files.flagPath), 0600u);
    EXPECT_FALSE(std::filesystem::exists(files.passwordPath));
}

TEST_F(PasswordStoreTest, FlagNotAboveZeroMeansNoPassword) {
    for (const std::string& flag : {"\x00\x00"s, "\xFF\xFF"s, "\x00\x80"s}) {
        WriteBytes(files.flagPath, flag);
        EXPECT_TRUE(std::holds_alternative<NoPassword>(ReadPasswordState(files)));
        EXPECT_EQ(ReadBytes(files.flagPath), flag);
    }
    EXPECT_FALSE(std::filesystem::exists(files.passwordPath));
}

TEST_F(PasswordStoreTest, StoredPasswordIsReadBack) {
    WriteBytes(files.flagPath, "\xFF\xFF"s + "extra");
    StorePassword(files, "Hemligt \xE5\xE4\xF6");
    EXPECT_EQ(ReadBytes(files.flagPath), "\x01\x00"s + "extra");
    EXPECT_EQ(ReadBytes(files.passwordPath), "\"Hemligt \xE5\xE4\xF6\"\r\n");
    EXPECT_EQ(ModeOf(files.passwordPath), 0600u);
    EXPECT_EQ(std::get<Password>(ReadPasswordState(files)).text, "Hemligt \xE5\xE4\xF6");

    std::filesystem::remove(files.flagPath);
    StorePassword(files, "nytt");
    EXPECT_EQ(ReadBytes(files.flagPath), "\x01\x00"s);
    EXPECT_EQ(ModeOf(files.flagPath), 0600u);
    EXPECT_EQ(std::get<Password>(ReadPasswordState(files)).text, "nytt");

    // A password file holding a quote inside unlocks with the part before it.
    WriteBytes(files.passwordPath, "\"ab\"cd\"\r\n");
    EXPECT_EQ(std::get<Password>(ReadPasswordState(files)).text, "ab");
}

TEST_F(PasswordStoreTest, RefusedPasswordsTouchNoFile) {
    EXPECT_EQ(CheckNewPassword("ok"), PasswordProblem::None);
    EXPECT_EQ(CheckNewPassword(""), PasswordProblem::Empty);
    EXPECT_EQ(CheckNewPassword("a\"b"), PasswordProblem::HoldsQuote);
    // What would be read back as a corrupt file is not written either.
    EXPECT_EQ(CheckNewPassword("a\tb"), PasswordProblem::HoldsControlCharacter);
    EXPECT_EQ(CheckNewPassword("a\x9D"), PasswordProblem::HoldsControlCharacter);
    EXPECT_EQ(CheckNewPassword(std::string(kMaxPasswordLength, 'a')), PasswordProblem::None);
    EXPECT_EQ(CheckNewPassword(std::string(kMaxPasswordLength + 1, 'a')), PasswordProblem::TooLong);
    EXPECT_THROW(StorePassword(files, ""), std::invalid_argument);
    EXPECT_THROW(StorePassword(files, "a\"b"), std::invalid_argument);
    EXPECT_THROW(StorePassword(files, "a\tb"), std::invalid_argument);
    EXPECT_TRUE(dir.Names().empty());
}

TEST_F(PasswordStoreTest, FailedWritesAreReported) {
    WriteBytes(files.flagPath, "\x00\x00"s);
    PasswordFiles noPasswordFolder{files.flagPath, dir / "no/id"};
    testing::ExpectStorageError([&] { StorePassword(noPasswordFolder, "pw"); },
                                StorageError::Kind::CannotOpen, dir / "no/id");
    EXPECT_EQ(ReadBytes(files.flagPath), "\x00\x00"s); // the flag was not set

    PasswordFiles noFlagFolder{dir / "no/numberone", files.passwordPath};
    testing::ExpectStorageError([&] { StorePassword(noFlagFolder, "pw"); },
                                StorageError::Kind::CannotOpen, dir / "no/numberone");

    PasswordState state = ReadPasswordState(noFlagFolder);
    ASSERT_TRUE(std::holds_alternative<FlagUnavailable>(state));
    EXPECT_EQ(std::get<FlagUnavailable>(state).path, dir / "no/numberone");
}

TEST_F(PasswordStoreTest, FlagSetButNoUsablePassword) {
    WriteBytes(files.flagPath, "\x01\x00"s);
    const std::pair<std::optional<std::string>, Cause> cases[] = {
        {std::nullopt, Cause::NotFound},
        {"", Cause::EmptyFile},
        {"\"\"\r\n", Cause::EmptyPassword},
        {"\r\nabc\r\n", Cause::EmptyPassword},
        // Readable, but no password anyone could type: a binary file, a file
        // of 1 MB, a control character in the field.
        {"\x7F" "ELF\x02\x01\x01", Cause::Corrupt},
        {"\"pw\"\r\n\0\0\0"s, Cause::Corrupt},
        {std::string(1 << 20, 'a'), Cause::Corrupt},
        {"\"a\x81\"\r\n", Cause::Corrupt},
    };
    for (const auto& [bytes, cause] : cases) {
        std::filesystem::remove(files.passwordPath);
        if (bytes) WriteBytes(files.passwordPath, *bytes);
        PasswordState state = ReadPasswordState(files);
        ASSERT_TRUE(std::holds_alternative<PasswordMissing>(state));
        const auto& missing = std::get<PasswordMissing>(state);
        EXPECT_EQ(missing.cause, cause);
        EXPECT_EQ(missing.path, files.passwordPath);
        EXPECT_EQ(missing.reason, cause == Cause::NotFound ? StorageError::Reason::NotFound
                                                           : StorageError::Reason::None);
    }
    std::filesystem::remove(files.passwordPath);
    std::filesystem::create_directory(files.passwordPath);
    EXPECT_EQ(std::get<PasswordMissing>(ReadPasswordState(files)).cause, Cause::Unreadable);
}

// A flag file that may be read but not written still locks. Run as an
// unprivileged user, since the super-user may write anyway.
TEST_F(PasswordStoreTest, ReadOnlyFlagStillLocks) {
    WriteBytes(files.flagPath, "\x01\x00"s);
    WriteBytes(files.passwordPath, "\"pw\"\r\n");
    ::chmod(dir.path().c_str(), 0555);
    ::chmod(files.flagPath.c_str(), 0444);
    ::chmod(files.passwordPath.c_str(), 0444);
    int code = testing::RunInChild([&] {
        // The files are the user's own, as only those count.
        if (::geteuid() == 0 && (::chown(files.flagPath.c_str(), 65534, 65534) != 0 ||
                                 ::chown(files.passwordPath.c_str(), 65534, 65534) != 0 ||
                                 ::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 20;
        PasswordState state = ReadPasswordState(files);
        const Password* password = std::get_if<Password>(&state);
        return password != nullptr && password->text == "pw" ? 0 : 1;
    });
    ::chmod(dir.path().c_str(), 0700);
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
}

// Both files as they stand: content (or missing) and permission bits.
struct Snapshot {
    std::optional<std::string> flag, password;
    unsigned flagMode = 0, passwordMode = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const PasswordFiles& files) {
    Snapshot snapshot;
    if (std::filesystem::is_regular_file(files.flagPath)) {
        snapshot.flag = ReadBytes(files.flagPath);
        snapshot.flagMode = ModeOf(files.flagPath);
    }
    if (std::filesystem::is_regular_file(files.passwordPath)) {
        snapshot.password = ReadBytes(files.passwordPath);
        snapshot.passwordMode = ModeOf(files.passwordPath);
    }
    return snapshot;
}

using platform::posix::FailNext;
using platform::posix::Operation;

// A flag file that is a folder: the password file was once replaced before the
// flag failed. Now nothing changes.
TEST_F(PasswordStoreTest, AFlagThatCannotBeOpenedLeavesThePasswordAlone) {
    WriteBytes(files.passwordPath, "\"old\"\r\n");
    ::chmod(files.passwordPath.c_str(), 0640);
    std::filesystem::create_directory(files.flagPath);
    const Snapshot before = Take(files);
    testing::ExpectStorageError([&] { StorePassword(files, "new"); },
                                StorageError::Kind::CannotOpen, files.flagPath,
                                StorageError::Reason::IsFolder);
    EXPECT_EQ(Take(files), before);
    EXPECT_TRUE(std::filesystem::is_directory(files.flagPath));
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"id", "numberone"}));
}

// Whatever the two files held, a failure at the flag's write or at the last
// step (the new password file taking the old one's place) leaves both exactly
// as they were, also a flag file that did not exist.
TEST_F(PasswordStoreTest, AFailedChangeLeavesBothFilesAsTheyWere) {
    const std::optional<std::string> flags[] = {
        std::nullopt, "", "\x05"s, "\x00\x00"s, "\xFF\xFF"s + "extra", "\x01\x00"s};
    const std::optional<std::string> passwords[] = {std::nullopt, "\"old\"\r\n"};
    const std::pair<Operation, StorageError::Reason> failures[] = {
        {Operation::WriteAt, StorageError::Reason::DiskFull},
        {Operation::Replace, StorageError::Reason::DeviceError},
    };
    for (const auto& flag : flags) {
        for (const auto& password : passwords) {
            for (const auto& [operation, reason] : failures) {
                SCOPED_TRACE(flag.value_or("<no flag>") + " / " + password.value_or("<none>"));
                std::filesystem::remove(files.flagPath);
                std::filesystem::remove(files.passwordPath);
                if (flag) WriteBytes(files.flagPath, *flag);
                if (password) {
                    WriteBytes(files.passwordPath, *password);
                    ::chmod(files.passwordPath.c_str(), 0644);
                }
                const Snapshot before = Take(files);
                FailNext(operation, operation == Operation::WriteAt ? ENOSPC : EIO);
                try {
                    StorePassword(files, "new");
                    ADD_FAILURE() << "stored";
                } catch (const StorageError& e) {
                    EXPECT_EQ(e.kind(), StorageError::Kind::WriteFailed);
                    EXPECT_EQ(e.reason(), reason);
                    EXPECT_EQ(e.path(), operation == Operation::WriteAt ? files.flagPath
                                                                        : files.passwordPath);
                }
                FailNext(operation, 0);
                EXPECT_EQ(Take(files), before);
                EXPECT_EQ(dir.Names().size(), std::size_t{flag.has_value()} + password.has_value());
            }
        }
    }
    StorePassword(files, "new"); // and with nothing failing, it works
    EXPECT_EQ(ReadBytes(files.flagPath), "\x01\x00"s);
    EXPECT_EQ(ReadBytes(files.passwordPath), "\"new\"\r\n");
}

// When the flag cannot even be put back, the caller learns both what failed
// and that the flag file is not as it was.
TEST_F(PasswordStoreTest, AFlagThatCannotBePutBackIsReported) {
    WriteBytes(files.flagPath, "\x00\x00"s);
    WriteBytes(files.passwordPath, "\"old\"\r\n");
    FailNext(Operation::WriteAt, EIO, 2);
    try {
        StorePassword(files, "new");
        ADD_FAILURE() << "stored";
    } catch (const PasswordNotRestored& e) {
        EXPECT_EQ(e.path(), files.flagPath);
        EXPECT_EQ(e.cause().path(), files.flagPath);
        EXPECT_EQ(e.cause().kind(), StorageError::Kind::WriteFailed);
    }
    FailNext(Operation::WriteAt, 0);
    EXPECT_EQ(ReadBytes(files.passwordPath), "\"old\"\r\n");
}

// Only the user's own files count. What stands where the flag belongs but is
// no regular file of this user says nothing about this user's password: it
// neither asks for one nor ends the program. A flag of the user's own that
// cannot be read must never count as "no password": the lock would be
// skipped in silence.
TEST_F(PasswordStoreTest, OnlyTheUsersOwnFlagCounts) {
    WriteBytes(files.passwordPath, "\"pw\"\r\n");
    auto expectForeign = [&](const PasswordFiles& which) {
        PasswordState state = ReadPasswordState(which);
        ASSERT_TRUE(std::holds_alternative<ForeignFlag>(state)) << state.index();
        EXPECT_EQ(std::get<ForeignFlag>(state).path, which.flagPath);
        EXPECT_FALSE(FlagIsSet(which.flagPath));
    };
    std::filesystem::create_directory(files.flagPath);
    expectForeign(files);
    std::filesystem::remove(files.flagPath);
    ASSERT_EQ(::mkfifo(files.flagPath.c_str(), 0600), 0); // must not block either
    expectForeign(files);
    expectForeign({"/dev/null", files.passwordPath});
    std::filesystem::remove(files.flagPath);

    // Another user's flag, set and readable: before, its password was asked.
    WriteBytes(files.flagPath, "\x01\x00"s);
    ::chmod(dir.path().c_str(), 0777);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(files.flagPath.c_str(), testing::kNobody, testing::kNoGroup), 0);
        ::chmod(files.flagPath.c_str(), 0644);
        expectForeign(files);
        ASSERT_EQ(::chown(files.flagPath.c_str(), 0, 0), 0);
    }

    // The user's own flag without read permission, for a user who is not the
    // super-user.
    ::chmod(files.flagPath.c_str(), 0222);
    int code = testing::RunInChild([&] {
        if (::geteuid() == 0 &&
            ::chown(files.flagPath.c_str(), testing::kNobody, testing::kNoGroup) != 0)
            return 20;
        if (!testing::DropPrivileges()) return 20;
        PasswordState state = ReadPasswordState(files);
        const auto* unreadable = std::get_if<FlagUnreadable>(&state);
        if (unreadable == nullptr) return 1;
        if (unreadable->reason != StorageError::Reason::NoPermission) return 2;
        if (!FlagIsSet(files.flagPath)) return 4;
        // Where no flag file exists and none can be made, there is no password.
        PasswordFiles elsewhere{dir / "no-folder/numberone", files.passwordPath};
        if (!std::holds_alternative<FlagUnavailable>(ReadPasswordState(elsewhere))) return 3;
        return 0;
    });
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
}

// The user's own flag is set, but the password file is another user's: that
// user's password must not unlock this user's program, nor may a new password
// of this user replace that user's files (for the super-user, who can give a
// file away).
TEST_F(PasswordStoreTest, AnotherUsersPasswordFileIsNeitherReadNorReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "only the super-user can give a file away";
    WriteBytes(files.flagPath, "\x01\x00"s);
    WriteBytes(files.passwordPath, "\"theirs\"\r\n");
    ASSERT_EQ(::chown(files.passwordPath.c_str(), testing::kNobody, testing::kNoGroup), 0);
    PasswordState state = ReadPasswordState(files);
    ASSERT_TRUE(std::holds_alternative<PasswordMissing>(state)) << state.index();
    EXPECT_EQ(std::get<PasswordMissing>(state).cause, Cause::OtherUser);

    const Snapshot before = Take(files);
    testing::ExpectStorageError([&] { StorePassword(files, "mine"); },
                                StorageError::Kind::CannotOpen, files.passwordPath,
                                StorageError::Reason::OwnerNotKept);
    EXPECT_EQ(Take(files), before);

    // The same for another user's flag beside this user's password file.
    ASSERT_EQ(::chown(files.passwordPath.c_str(), 0, 0), 0);
    ASSERT_EQ(::chown(files.flagPath.c_str(), testing::kNobody, testing::kNoGroup), 0);
    testing::ExpectStorageError([&] { StorePassword(files, "mine"); },
                                StorageError::Kind::CannotOpen, files.flagPath,
                                StorageError::Reason::OwnerNotKept);
    EXPECT_EQ(Take(files), before);
    EXPECT_EQ(dir.Names(), (std::set<std::string>{"id", "numberone"}));
}

TEST(PrivateFolderTest, MakesMissingFoldersOwnerOnly) {
    TempDir dir;
    mode_t oldMask = ::umask(022);
    EnsurePrivateFolder(dir / "share/Tolvana");
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(dir / "share"), 0700u);
    EXPECT_EQ(ModeOf(dir / "share/Tolvana"), 0700u);

    ::chmod((dir / "share/Tolvana").c_str(), 0750);
    EnsurePrivateFolder(dir / "share/Tolvana/");
    EXPECT_EQ(ModeOf(dir / "share/Tolvana"), 0750u); // an existing folder is left alone

    // A file in the way is named as such, not called missing.
    WriteBytes(dir / "file", "x");
    testing::ExpectStorageError([&] { EnsurePrivateFolder(dir / "file/Tolvana"); },
                                StorageError::Kind::CannotOpen, dir / "file",
                                StorageError::Reason::NotAFolder);
}

} // namespace
} // namespace tolvana::storage
