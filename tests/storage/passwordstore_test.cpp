#include "storage/passwordstore.h"

#include "storage/files.h"
#include "tests/storage/support.h"

#include <optional>

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
    EXPECT_THROW(StorePassword(files, ""), std::invalid_argument);
    EXPECT_THROW(StorePassword(files, "a\"b"), std::invalid_argument);
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
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 20;
        PasswordState state = ReadPasswordState(files);
        const Password* password = std::get_if<Password>(&state);
        return password != nullptr && password->text == "pw" ? 0 : 1;
    });
    ::chmod(dir.path().c_str(), 0700);
    if (code == 20) GTEST_SKIP() << "cannot drop privileges";
    EXPECT_EQ(code, 0);
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

    WriteBytes(dir / "file", "x");
    testing::ExpectStorageError([&] { EnsurePrivateFolder(dir / "file/Tolvana"); },
                                StorageError::Kind::CannotOpen, dir / "file/Tolvana");
}

} // namespace
} // namespace tolvana::storage
