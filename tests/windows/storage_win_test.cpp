// The file layer on Windows: binary files, wide-character names, replacement
// beside the target, 64-bit sizes and the reasons given for failures.

#include "messages/messages.h"
#include "storage/files.h"
#include "storage/passwordstore.h"
#include "storage/platform.h"
#include "storage/platform_win.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <aclapi.h>
#include <sddl.h>
#include <windows.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>

namespace tolvana::storage {
namespace {

namespace fs = std::filesystem;
using Reason = StorageError::Reason;
using Kind = StorageError::Kind;

constexpr std::uint64_t kMax = 1 << 20;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + Utf8(path));
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A fresh folder whose own name holds å, ä and ö, so every path below does.
class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        dir_ = fs::temp_directory_path() /
               FromUtf8("tolvana-\xC3\xA5\xC3\xA4\xC3\xB6-" + std::to_string(entropy()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // The path in the Windows form the file dialogs give: backslashes.
    std::string Path(const std::string& name) const { return Utf8(dir_) + "\\" + name; }
    fs::path Native(const std::string& name) const { return dir_ / FromUtf8(name); }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.insert(Utf8(entry.path().filename()));
        return names;
    }

    fs::path dir_;
};

template <typename Action> void ExpectError(Action&& action, Kind kind, Reason reason) {
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
        EXPECT_EQ(e.reason(), reason) << e.what();
    }
}

// Every code that the file functions are documented to give has a reason of
// its own: "systemfel N" is left for codes nobody documents.
TEST(WindowsErrors, EveryDocumentedCodeHasAReason) {
    const unsigned long documented[] = {
        ERROR_ACCESS_DENIED,  ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_DISK_FULL,
        ERROR_HANDLE_DISK_FULL, ERROR_WRITE_PROTECT,   ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
        ERROR_FILENAME_EXCED_RANGE, ERROR_CANT_RESOLVE_FILENAME, ERROR_FILE_TOO_LARGE,
        ERROR_BUSY,           ERROR_TOO_MANY_OPEN_FILES, ERROR_CRC,          ERROR_WRITE_FAULT,
        ERROR_READ_FAULT,     ERROR_GEN_FAILURE,       ERROR_IO_DEVICE,      ERROR_OPERATION_ABORTED,
        ERROR_NOT_ENOUGH_MEMORY, ERROR_INVALID_NAME,   ERROR_NOT_SUPPORTED,  ERROR_NOT_SAME_DEVICE,
        ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS,       ERROR_DIR_NOT_EMPTY,  ERROR_TOO_MANY_LINKS,
        ERROR_NETNAME_DELETED, ERROR_NOT_READY,        ERROR_INVALID_HANDLE, ERROR_BROKEN_PIPE};
    for (unsigned long error : documented) {
        SCOPED_TRACE(error);
        EXPECT_NE(platform::win::ReasonOfError(error), Reason::Other);
    }
    EXPECT_EQ(platform::win::ReasonOfError(ERROR_FILENAME_EXCED_RANGE), Reason::NameTooLong);
}

// A file with a second name (a hard link) is not split from it.
TEST_F(WindowsFiles, AFileWithOtherNamesIsNotSplitOff) {
    PutBytes(Native("brev.crp"), "\"old\"\r\n");
    if (!::CreateHardLinkW(Native("kopia.crp").c_str(), Native("brev.crp").c_str(), nullptr))
        GTEST_SKIP() << "no hard links here";
    ExpectError(
        [&] {
            OutputFile file = OpenForOutput(Path("brev.crp"));
            file.WriteField("new");
            file.Close();
        },
        Kind::CannotOpen, Reason::HasOtherNames);
    EXPECT_EQ(Bytes(Native("brev.crp")), "\"old\"\r\n");
    EXPECT_EQ(Bytes(Native("kopia.crp")), "\"old\"\r\n");
}

TEST_F(WindowsFiles, NamesWithSwedishLettersAreWrittenAndReadBinary) {
    const std::string name = "hemligt \xC3\xA5\xC3\xA4\xC3\xB6.crp"; // UTF-8 "hemligt åäö.crp"
    OutputFile out = OpenForOutput(Path(name));
    out.WriteField("a\nb\r\n\x1A"
                   "c"); // LF, CR LF and Ctrl+Z stay bytes
    out.Close();

    EXPECT_EQ(Bytes(Native(name)), std::string("\"a\nb\r\n\x1A"
                                               "c\"\r\n"));
    InputFile in = OpenForInput(Path(name), kMax);
    EXPECT_EQ(in.ReadField(), "a\nb\r\n\x1A"
                              "c");
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(Names(), std::set<std::string>{name});
}

TEST_F(WindowsFiles, ReplacementLeavesNoTemporaryFileWithEitherSeparator) {
    PutBytes(Native("a.crp"), "old content that is longer");
    for (const std::string& path : {Path("a.crp"), Utf8(dir_) + "/a.crp"}) {
        OutputFile out = OpenForOutput(path);
        out.WriteField("new");
        out.Close();
        EXPECT_EQ(Bytes(Native("a.crp")), "\"new\"\r\n");
        EXPECT_EQ(Names(), std::set<std::string>{"a.crp"});
    }
}

TEST_F(WindowsFiles, UnfinishedReplacementKeepsTheOldFile) {
    PutBytes(Native("a.crp"), "\"old\"\r\n");
    {
        OutputFile out = OpenForOutput(Path("a.crp"));
        out.WriteField("never closed");
        EXPECT_EQ(Names().size(), 2u); // the temporary file lies beside the target
    }
    EXPECT_EQ(Bytes(Native("a.crp")), "\"old\"\r\n");
    EXPECT_EQ(Names(), std::set<std::string>{"a.crp"});
}

TEST_F(WindowsFiles, RelativeAndDriveRelativeNamesReplaceInTheirOwnFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    const std::string drive = Utf8(dir_).substr(0, 2); // "C:" or "Z:"
    OutputFile bare = OpenForOutput("bare.crp");
    bare.WriteField("x");
    bare.Close();
    OutputFile relative = OpenForOutput(drive + "drive.crp");
    relative.WriteField("y");
    relative.Close();
    fs::current_path(before);
    EXPECT_EQ(Bytes(Native("bare.crp")), "\"x\"\r\n");
    EXPECT_EQ(Bytes(Native("drive.crp")), "\"y\"\r\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"bare.crp", "drive.crp"}));
}

// A file that another program holds open without letting others write it,
// or delete it (which the rename into its place needs), is in use, not
// forbidden (a viewer, an editor, a backup tool):
// the save is refused before anything is written, the old file stays as it
// was and no temporary file is left beside it.
TEST_F(WindowsFiles, AFileInUseIsSaidToBeInUseAndKept) {
    PutBytes(Native("open.crp"), "\"keep\"\r\n");
    for (DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
        HANDLE other = ::CreateFileW(Native("open.crp").c_str(), GENERIC_READ, share, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        ExpectError([&] { OpenForOutput(Path("open.crp")); }, Kind::CannotOpen, Reason::InUse);
        try {
            OpenForOutput(Path("open.crp"));
        } catch (const StorageError& e) {
            EXPECT_EQ(messages::FileNotSaved("open.crp", e, true),
                      "Filen open.crp sparades inte: filen anv\xC3\xA4nds av ett annat program."
                      "\n\nSt\xC3\xA4ng det programmet och f\xC3\xB6rs\xC3\xB6k igen. En "
                      "tidigare fil med samma namn \xC3\xA4r of\xC3\xB6r\xC3\xA4ndrad.");
        }
        if (!(share & FILE_SHARE_WRITE))
            ExpectError([&] { OpenForRecords(Path("open.crp")); }, Kind::CannotOpen, Reason::InUse);
        ::CloseHandle(other);
        EXPECT_EQ(Bytes(Native("open.crp")), "\"keep\"\r\n");
        EXPECT_EQ(Names(), std::set<std::string>{"open.crp"});
    }
}

// The name a file gets: Windows drops trailing dots and blanks, except after
// the \\?\ prefix.
TEST_F(WindowsFiles, NamesAreJudgedAsTheSystemMakesThem) {
    EXPECT_EQ(platform::NameAsMade("brev.crp."), "brev.crp");
    EXPECT_EQ(platform::NameAsMade("c:\\a\\brev.crp . ."), "c:\\a\\brev.crp");
    EXPECT_EQ(platform::NameAsMade("\\\\?\\c:\\brev.crp."), "\\\\?\\c:\\brev.crp.");
    EXPECT_EQ(platform::NameAsMade(".."), "..");
    EXPECT_EQ(platform::NameAsMade("c:\\a\\.."), "c:\\a\\..");
    OutputFile out = OpenForOutput(Path("brev.crp. "));
    out.WriteField("x");
    out.Close();
    EXPECT_EQ(Names(), std::set<std::string>{"brev.crp"});
}

// Paths past 260 characters, with either separator, are made, written,
// replaced, listed and read like any other. (Wine has no such limit; on
// Windows they go to the system in their \\?\ form.)
TEST_F(WindowsFiles, LongPathsWorkWithEitherSeparator) {
    const std::string part(60, 'a');
    const std::string folder = Path(part + "\\" + part + "/" + part + "\\" + part);
    ASSERT_GT(folder.size(), 260u);
    EnsurePrivateFolder(folder);
    const std::string file = folder + "/" + part + ".crp.";
    ASSERT_GT(file.size(), 300u);
    for (const char* text : {"first", "second"}) {
        OutputFile out = OpenForOutput(file);
        out.WriteField(text);
        out.Close();
    }
    EXPECT_EQ(OpenForInput(folder + "\\" + part + ".crp", kMax).ReadField(), "second");
    const std::vector<FolderEntry> entries = ListFolder(folder);
    ASSERT_EQ(entries.size(), 1u); // the name as made, and no temporary file
    EXPECT_EQ(entries[0].name, part + ".crp");
    RemoveFile(folder + "\\" + part + ".crp");
    EXPECT_TRUE(ListFolder(folder).empty());
    // Removed here: the C++ library's folder walk of TearDown stops at 260.
    std::wstring inner = L"\\\\?\\" + dir_.wstring();
    for (int i = 0; i < 4; ++i) inner += L"\\" + std::wstring(part.begin(), part.end());
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(::RemoveDirectoryW(inner.c_str()));
        inner.resize(inner.rfind(L'\\'));
    }
}

TEST_F(WindowsFiles, ReadOnlyFileIsRefusedAndKept) {
    PutBytes(Native("locked.crp"), "\"keep\"\r\n");
    ::SetFileAttributesW(Native("locked.crp").c_str(), FILE_ATTRIBUTE_READONLY);
    ExpectError([&] { OpenForOutput(Path("locked.crp")); }, Kind::CannotOpen, Reason::NoPermission);
    EXPECT_EQ(Bytes(Native("locked.crp")), "\"keep\"\r\n");
    EXPECT_EQ(Names(), std::set<std::string>{"locked.crp"});

    ExpectError([&] { OpenForRecords(Path("locked.crp")); }, Kind::CannotOpen,
                Reason::NoPermission);

    // Removing it is another matter: the password places clear an earlier
    // place's files so, whatever their attribute.
    RemoveFile(Path("locked.crp"));
    EXPECT_FALSE(fs::exists(Native("locked.crp")));
    RemoveFile(Path("no\\such\\folder\\id")); // nothing there: no error

    // A read-only flag file is still read, so its password is still asked.
    PutBytes(Native("numberone"), std::string("\x01\x00", 2));
    PutBytes(Native("id"), "\"pw\"\r\n");
    ::SetFileAttributesW(Native("numberone").c_str(), FILE_ATTRIBUTE_READONLY);
    const PasswordState state = ReadPasswordState({Path("numberone"), Path("id")});
    ASSERT_TRUE(std::holds_alternative<Password>(state));
    EXPECT_EQ(std::get<Password>(state).text, "pw");
}

// c:\ is a folder that every user may write in. What another user left
// there, a folder named numberone or a flag of their own, neither locks this
// user out nor asks for that user's password; nor does a new password of
// this user replace that user's files.
TEST_F(WindowsFiles, OnlyTheUsersOwnPasswordFilesCount) {
    const PasswordFiles files{Path("numberone"), Path("id")};
    fs::create_directory(Native("numberone"));
    PasswordState state = ReadPasswordState(files);
    EXPECT_TRUE(std::holds_alternative<ForeignFlag>(state)) << state.index();
    fs::remove(Native("numberone"));

    PutBytes(Native("numberone"), std::string("\x01\x00", 2));
    PutBytes(Native("id"), "\"theirs\"\r\n");
    ASSERT_TRUE(platform::OwnedByUser(files.flagPath));
    // Given to the local system account, as another user's file would be.
    PSID system = nullptr;
    ASSERT_TRUE(::ConvertStringSidToSidW(L"S-1-5-18", &system));
    for (const char* name : {"numberone", "id"})
        ::SetNamedSecurityInfoW(const_cast<wchar_t*>(Native(name).c_str()), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION, system, nullptr, nullptr, nullptr);
    ::LocalFree(system);
    if (platform::OwnedByUser(files.flagPath)) GTEST_SKIP() << "cannot give a file away here";
    state = ReadPasswordState(files);
    EXPECT_TRUE(std::holds_alternative<ForeignFlag>(state)) << state.index();
    ExpectError([&] { StorePassword(files, "mine"); }, Kind::CannotOpen, Reason::OwnerNotKept);
    EXPECT_EQ(Bytes(Native("id")), "\"theirs\"\r\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"id", "numberone"}));
}

TEST_F(WindowsFiles, FailuresGiveTheSameReasonsAsOnLinux) {
    ExpectError([&] { OpenForInput(Path("missing.crp"), kMax); }, Kind::NotFound, Reason::NotFound);
    ExpectError([&] { OpenForInput(Path("no\\such\\folder.crp"), kMax); }, Kind::NotFound,
                Reason::NotFound);
    ExpectError([&] { OpenForOutput(Path("no\\such\\folder.crp")); }, Kind::CannotOpen,
                Reason::NotFound);
    fs::create_directory(Native("folder"));
    ExpectError([&] { OpenForInput(Path("folder"), kMax); }, Kind::CannotOpen, Reason::IsFolder);
    ExpectError([&] { OpenForOutput(Path("folder")); }, Kind::CannotOpen, Reason::IsFolder);
    ExpectError([&] { OpenForRecords(Path("folder")); }, Kind::CannotOpen, Reason::IsFolder);
    ExpectError([&] { OpenForInput("NUL", kMax); }, Kind::CannotOpen, Reason::NotRegularFile);
    ExpectError([&] { OpenForInput(std::string("bad \xFF name"), kMax); }, Kind::NotFound,
                Reason::Other);
}

TEST_F(WindowsFiles, SizesBeyondFourGigabytesAreSeenWhole) {
    // A sparse file of 5 GB plus 3 bytes: its size must not wrap at 32 bits.
    const std::uint64_t size = (5ull << 30) + 3;
    HANDLE file = ::CreateFileW(Native("big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD ignored = 0;
    ::DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    ASSERT_TRUE(::SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(file));
    ::CloseHandle(file);
    try {
        OpenForInput(Path("big"), kMax);
        ADD_FAILURE() << "no error";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.reason(), Reason::TooLarge);
        EXPECT_EQ(e.size(), size);
    }

    // A record past 4 GB reads as 0 and can be written there.
    RecordFile records = OpenForRecords(Path("big"));
    EXPECT_EQ(records.GetRecord(0x7FFFFFFF), 0);
    records.PutRecord(1, 0x0102);
    EXPECT_EQ(records.GetRecord(1), 0x0102);
    records.Close();
}

TEST_F(WindowsFiles, PasswordFilesRoundTripAndPrivateFolderIsMade) {
    const std::string folder = Path("a\\b/c");
    EnsurePrivateFolder(folder);
    EXPECT_TRUE(fs::is_directory(Native("a") / "b" / "c"));
    EnsurePrivateFolder(folder); // an existing folder is fine
    // A file in the way is named, not called missing.
    PutBytes(Native("file"), "x");
    try {
        EnsurePrivateFolder(Path("file\\sub"));
        ADD_FAILURE() << "no error";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.reason(), Reason::NotAFolder) << e.what();
        EXPECT_EQ(e.path(), Path("file"));
    }

    const PasswordFiles files{folder + "\\numberone", folder + "\\id"};
    EXPECT_TRUE(std::holds_alternative<NoPassword>(ReadPasswordState(files)));
    StorePassword(files, "L\xF6sen");
    EXPECT_EQ(Bytes(Native("a") / "b" / "c" / "numberone"), std::string("\x01\x00", 2));
    EXPECT_EQ(Bytes(Native("a") / "b" / "c" / "id"), "\"L\xF6sen\"\r\n");
    const PasswordState state = ReadPasswordState(files);
    ASSERT_TRUE(std::holds_alternative<Password>(state));
    EXPECT_EQ(std::get<Password>(state).text, "L\xF6sen");
}

// Standard input and output as pipes, with their C runtime descriptors in
// text mode: bytes pass unchanged both ways (CR LF, a lone LF and Ctrl+Z too),
// the end of a pipe is its writer closing it, and a pipe that nobody reads
// any more is said to be so.
class Pipe {
public:
    Pipe() {
        HANDLE read = nullptr, write = nullptr;
        if (!::CreatePipe(&read, &write, nullptr, 0)) throw std::runtime_error("CreatePipe");
        read_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(read), _O_RDONLY | _O_TEXT);
        write_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(write), _O_WRONLY | _O_TEXT);
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    int read() const { return read_; }
    int write() const { return write_; }
    void closeRead() {
        if (read_ >= 0) ::_close(read_);
        read_ = -1;
    }
    void closeWrite() {
        if (write_ >= 0) ::_close(write_);
        write_ = -1;
    }

private:
    int read_ = -1, write_ = -1;
};

// Runs `body` on a thread of its own until the object goes.
class Thread {
public:
    explicit Thread(std::function<void()> body) : body_(std::move(body)) {
        handle_ = ::CreateThread(
            nullptr, 0,
            [](void* self) -> DWORD {
                static_cast<Thread*>(self)->body_();
                return 0;
            },
            this, 0, nullptr);
    }
    ~Thread() { join(); }
    void join() {
        if (!handle_) return;
        ::WaitForSingleObject(handle_, INFINITE);
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

LARGE_INTEGER Offset(LONGLONG bytes) {
    LARGE_INTEGER offset{};
    offset.QuadPart = bytes;
    return offset;
}

std::string TextWithEveryLineEnd(std::size_t size) {
    std::string bytes;
    while (bytes.size() < size) bytes += "a\r\nb\nc\rd\x1A\xE5";
    return bytes;
}

TEST(WindowsStreams, PipesCarryEveryByteBothWays) {
    const std::string bytes = TextWithEveryLineEnd((3 << 20) + 11);
    {
        Pipe pipe;
        Thread writer([&] {
            platform::WriteStream(pipe.write(), bytes, "standard ut");
            pipe.closeWrite();
        });
        EXPECT_EQ(platform::ReadStream(pipe.read(), std::uint64_t{1} << 40, "standard in"), bytes);
    }
    {
        Pipe pipe;
        Thread writer([&] {
            try {
                platform::WriteStream(pipe.write(), bytes, "standard ut");
            } catch (const StorageError&) {
            }
            pipe.closeWrite();
        });
        ExpectError([&] { platform::ReadStream(pipe.read(), bytes.size() - 1, "standard in"); },
                    Kind::CannotOpen, Reason::TooLarge);
        pipe.closeRead(); // the writer stops
    }

    Pipe unread;
    unread.closeRead();
    ExpectError([&] { platform::WriteStream(unread.write(), "x", "standard ut"); },
                Kind::WriteFailed, Reason::ReceiverClosed);
}

TEST_F(WindowsFiles, AFileAsStandardInputIsReadFromWhereItStands) {
    PutBytes(Native("in"), "skip" + TextWithEveryLineEnd(5000));
    const int fd = ::_wopen(Native("in").c_str(), _O_RDONLY | _O_TEXT);
    ASSERT_GE(fd, 0);
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    ASSERT_TRUE(::SetFilePointerEx(handle, Offset(4), nullptr, FILE_BEGIN));
    EXPECT_EQ(platform::ReadStream(fd, 5000, "standard in"), TextWithEveryLineEnd(5000));
    ASSERT_TRUE(::SetFilePointerEx(handle, Offset(4), nullptr, FILE_BEGIN));
    // Refused by its size, before any of it is read.
    ExpectError([&] { platform::ReadStream(fd, 4999, "standard in"); }, Kind::CannotOpen,
                Reason::TooLarge);
    LARGE_INTEGER at{};
    ASSERT_TRUE(::SetFilePointerEx(handle, Offset(0), &at, FILE_CURRENT));
    EXPECT_EQ(at.QuadPart, 4);
    ::_close(fd);
}

} // namespace
} // namespace tolvana::storage
