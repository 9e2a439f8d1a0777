// The file system on Windows, through the wide-character (W) functions of the
// Win32 API. Files are handles opened in binary: no line-end translation and
// no end-of-file character, so the bytes on disk are those of every other
// platform.
//
// Paths arrive as UTF-8 byte strings and are turned into UTF-16 here; both
// '/' and '\' separate folders.

#include "storage/platform.h"
#include "storage/platform_p.h"
#include "storage/platform_win.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <aclapi.h>
#include <io.h>
#include <sddl.h>

#include <algorithm>
#include <random>
#include <utility>

namespace tolvana::storage::platform {
namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

Reason ReasonOf(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return Reason::NoPermission;
    // Another program holds the file open without letting others write it
    // (a viewer, an editor, a backup or sync tool), locks a part of it, or
    // maps it into memory: the user has every right to it.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return Reason::InUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case 1295: // ERROR_DISK_QUOTA_EXCEEDED
        return Reason::DiskFull;
    case ERROR_WRITE_PROTECT: return Reason::ReadOnlyFileSystem;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY: return Reason::NotFound;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return Reason::ReceiverClosed;
    // The other codes that the file functions are documented to give.
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW: return Reason::NameTooLong;
    case ERROR_CANT_RESOLVE_FILENAME: return Reason::TooManyLinks;
    case ERROR_FILE_TOO_LARGE: return Reason::FileSizeLimit;
    case ERROR_BUSY:
    case ERROR_DRIVE_LOCKED: return Reason::InUse;
    case ERROR_TOO_MANY_OPEN_FILES: return Reason::TooManyOpen;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE: return Reason::DeviceError;
    case ERROR_OPERATION_ABORTED: return Reason::Interrupted;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return Reason::OutOfMemory;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION: return Reason::NotSupported;
    case ERROR_NOT_SAME_DEVICE: return Reason::OtherFileSystem;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return Reason::AlreadyExists;
    case ERROR_DIR_NOT_EMPTY: return Reason::FolderNotEmpty;
    case ERROR_TOO_MANY_LINKS: return Reason::LinkLimit;
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR: return Reason::StaleFile;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST: return Reason::NoDevice;
    case ERROR_NETWORK_ACCESS_DENIED: return Reason::NoPermission;
    case ERROR_INVALID_HANDLE: return Reason::ProgramFault;
    default: return Reason::Other;
    }
}

StorageError SystemError(Kind kind, const std::string& path, DWORD error) {
    return StorageError(kind, path, ReasonOf(error), static_cast<std::int64_t>(error));
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_DRIVE || error == ERROR_BAD_NETPATH ||
           error == ERROR_BAD_NET_NAME;
}

HANDLE Native(const File& file) { return reinterpret_cast<HANDLE>(file.get()); }
Handle Wrap(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// UTF-8 to UTF-16. A path that is not valid UTF-8 names no file this program
// could have shown the user, and is refused.
//
// A path too long for the classic limit of 260 characters (248 for a folder)
// is given in its \\?\ form, which has no such limit, so that long paths work
// whether or not the system allows long paths to programs that ask for them
// (the manifest does). GetFullPathNameW makes that form as Windows would
// read the path: the current folder put in front, '/' turned into '\', "."
// and ".." resolved, trailing dots and blanks dropped.
std::wstring Widen(const std::string& path, Kind kind) {
    if (path.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(),
                                             static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0) throw SystemError(kind, path, ::GetLastError());
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), static_cast<int>(path.size()),
                          wide.data(), length);
    constexpr std::size_t kShortest = 240; // room for a temporary file's name beside it
    if (wide.size() < kShortest || wide.rfind(L"\\\\?\\", 0) == 0 || wide.rfind(L"\\\\.\\", 0) == 0)
        return wide;
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD got = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (got == 0 || got >= size) return wide;
    full.resize(got);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return wide;
}

// UTF-16 to UTF-8, for a path made from one that came in as UTF-8.
std::string Narrow(const std::wstring& wide) {
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(length, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), narrow.data(), length, nullptr,
                          nullptr);
    return narrow;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The folder part of `path` including its last separator, so that a file made
// there lands beside the target: "c:\id" gives "c:\", "d:\a/b.crp" gives
// "d:\a/", the drive-relative "c:id" gives "c:", and a bare name gives "" (the
// current folder).
std::wstring FolderOf(const std::wstring& path) {
    std::size_t end = path.size();
    while (end > 0 && !IsSeparator(path[end - 1])) --end;
    if (end == 0 && path.size() >= 2 && path[1] == L':') end = 2;
    return path.substr(0, end);
}

// Attributes of what is at `path`, or INVALID_FILE_ATTRIBUTES with the error.
DWORD AttributesOf(const std::wstring& path, DWORD& error) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    error = attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_SUCCESS;
    return attributes;
}

// Throws unless the open handle is a file on a disk: a console, a printer
// port, a pipe or another device is never what the caller meant.
void CheckDiskFile(HANDLE handle, Kind kind, const std::string& path) {
    if (::GetFileType(handle) != FILE_TYPE_DISK)
        throw StorageError(kind, path, Reason::NotRegularFile, ERROR_INVALID_PARAMETER);
}

// The string form of the user this program runs as ("S-1-5-21-..."), or
// empty when it cannot be found.
std::wstring CurrentUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    std::wstring result;
    if (size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPWSTR text = nullptr;
        if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                     &text)) {
            result = text;
            ::LocalFree(text);
        }
    }
    ::CloseHandle(token);
    return result;
}

// Whether `owner` is the user this program runs as, or the owner its token
// gives new files, or the administrators group when the user is one of them
// (an elevated run of the same user may have made the file, owned by that
// group; only administrators can make a file that a group owns).
bool IsUserOrTokenOwner(PSID owner) {
    if (owner == nullptr || !::IsValidSid(owner)) return false;
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const auto information = [&](TOKEN_INFORMATION_CLASS which) {
        DWORD size = 0;
        ::GetTokenInformation(token, which, nullptr, 0, &size);
        std::string buffer(size, '\0');
        if (size == 0 || !::GetTokenInformation(token, which, buffer.data(), size, &size))
            buffer.clear();
        return buffer;
    };
    bool found = false;
    std::string user = information(TokenUser);
    if (!user.empty() && ::EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid))
        found = true;
    std::string defaultOwner = information(TokenOwner);
    if (!found && !defaultOwner.empty() &&
        ::EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner.data())->Owner))
        found = true;
    if (!found && ::IsWellKnownSid(owner, WinBuiltinAdministratorsSid)) {
        std::string groups = information(TokenGroups);
        if (!groups.empty()) {
            const auto* list = reinterpret_cast<TOKEN_GROUPS*>(groups.data());
            for (DWORD i = 0; i < list->GroupCount && !found; ++i)
                found = ::EqualSid(owner, list->Groups[i].Sid) != 0;
        }
    }
    ::CloseHandle(token);
    return found;
}

// A security descriptor that lets in only the user this program runs as, the
// system and the administrators (who may have to remove a forgotten password),
// for the password files. The user is named by their own SID rather than as
// the file's owner: a file made by an elevated run is owned by the
// administrators group, and the same user's ordinary runs must still read it.
// Where none can be made, the file takes its folder's ACL.
class OwnerOnlyDescriptor {
public:
    OwnerOnlyDescriptor() {
        const std::wstring user = CurrentUserSid();
        if (!user.empty()) {
            // O: the user owns it, also when an elevated run makes it (whose
            // token would give it to the administrators group). P: nothing
            // inherited from the folder.
            const std::wstring text =
                L"O:" + user + L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)(A;;FA;;;BA)";
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                                   &descriptor_, nullptr);
        }
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
        attributes_.bInheritHandle = FALSE;
    }
    ~OwnerOnlyDescriptor() {
        if (descriptor_ != nullptr) ::LocalFree(descriptor_);
    }
    OwnerOnlyDescriptor(const OwnerOnlyDescriptor&) = delete;
    OwnerOnlyDescriptor& operator=(const OwnerOnlyDescriptor&) = delete;

    SECURITY_ATTRIBUTES* get() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// Opens an existing regular file for reading only.
File OpenExistingForReading(const std::string& path) {
    const std::wstring wide = Widen(path, Kind::NotFound);
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = AttributesOf(wide, error);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw StorageError(Kind::CannotOpen, path, Reason::IsFolder, ERROR_DIRECTORY);
    File file(Wrap(::CreateFileW(wide.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.isOpen()) {
        error = ::GetLastError();
        throw SystemError(IsMissing(error) ? Kind::NotFound : Kind::CannotOpen, path, error);
    }
    CheckDiskFile(Native(file), Kind::CannotOpen, path);
    return file;
}

// Writes all of `bytes` at the handle's position. Returns 0 or the error.
DWORD WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        bytes.remove_prefix(written);
    }
    return ERROR_SUCCESS;
}

// A symbolic link (or junction) stays a link: the file it points at is the
// one replaced.
std::wstring ResolveTarget(const std::wstring& path) {
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = AttributesOf(path, error);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    HANDLE handle =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return path; // a dangling link is replaced by the file
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(handle, resolved.data(),
                                               static_cast<DWORD>(resolved.size()), 0);
    if (length >= resolved.size()) {
        resolved.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(handle, resolved.data(),
                                             static_cast<DWORD>(resolved.size()), 0);
    }
    ::CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) return path;
    resolved.resize(length);
    return resolved;
}

// Creates a new, empty temporary file in `folder` (which is "" or ends in a
// separator or a drive colon).
File CreateTemp(const std::wstring& folder, SECURITY_ATTRIBUTES* security, const std::string& path,
                std::wstring& temp) {
    static const wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring name = L".tolvana-";
        unsigned bits = entropy();
        for (int i = 0; i < 6; ++i, bits /= 36) name += kLetters[bits % 36];
        temp = folder + name;
        HANDLE handle = ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return File(Wrap(handle));
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            throw SystemError(Kind::CannotOpen, path, error);
    }
    throw SystemError(Kind::CannotOpen, path, ERROR_FILE_EXISTS);
}

// Whether another program holds `path` open without sharing its deletion.
bool HeldByAnotherProgram(const std::wstring& path) {
    HANDLE handle =
        ::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

class WindowsReplacement final : public Replacement {
public:
    WindowsReplacement(std::string path, std::wstring target, std::wstring temp, File file,
                       bool keepTargetSecurity)
        : path_(std::move(path)), target_(std::move(target)), temp_(std::move(temp)),
          file_(std::move(file)), keepTargetSecurity_(keepTargetSecurity) {}
    ~WindowsReplacement() override { Discard(); }

    void Write(std::string_view bytes) override {
        if (!file_.isOpen()) throw std::logic_error("Write after the file was closed");
        if (DWORD error = WriteAll(Native(file_), bytes)) {
            Discard();
            throw SystemError(Kind::WriteFailed, path_, error);
        }
    }

    void Commit() override {
        if (!file_.isOpen()) return;
        if (!::FlushFileBuffers(Native(file_))) {
            const DWORD error = ::GetLastError();
            Discard();
            throw SystemError(Kind::WriteFailed, path_, error);
        }
        const bool closed = ::CloseHandle(Native(file_)) != 0;
        file_.release();
        if (!closed || !PutInPlace()) {
            DWORD error = ::GetLastError();
            ::DeleteFileW(temp_.c_str());
            // Windows refuses to rename over a file that another program
            // opened after the check in BeginReplacement, without sharing its
            // deletion, as "access denied": the file is in use.
            if (error == ERROR_ACCESS_DENIED && HeldByAnotherProgram(target_))
                error = ERROR_SHARING_VIOLATION;
            throw SystemError(Kind::WriteFailed, path_, error);
        }
    }

private:
    // ReplaceFileW gives the new version the old file's ACL and attributes,
    // as a save over an existing file should; a new file, or one that must
    // get the new version's own ACL, is moved into place.
    bool PutInPlace() {
        if (keepTargetSecurity_ &&
            ::ReplaceFileW(target_.c_str(), temp_.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                           nullptr, nullptr))
            return true;
        return ::MoveFileExW(temp_.c_str(), target_.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    void Discard() noexcept {
        if (!file_.isOpen()) return;
        file_.reset();
        ::DeleteFileW(temp_.c_str());
    }

    std::string path_;    // as the caller gave it, for errors
    std::wstring target_; // the file that gets replaced (links resolved)
    std::wstring temp_;
    File file_;
    bool keepTargetSecurity_;
};

// Throws NoPermission unless the existing file `target` may be written by
// this user: a read-only attribute, an ACL without write access or another
// program's lock all refuse the save, which a rename alone would not notice.
void CheckWritable(const std::wstring& target, DWORD attributes, const std::string& path) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        throw StorageError(Kind::CannotOpen, path, Reason::NoPermission, ERROR_ACCESS_DENIED);
    // DELETE too: the new version takes the file's place by a rename, which
    // another program that holds the file open without FILE_SHARE_DELETE
    // stops. That is found here, before anything is written (InUse).
    File probe(Wrap(::CreateFileW(target.c_str(), GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!probe.isOpen()) throw SystemError(Kind::CannotOpen, path, ::GetLastError());
    CheckDiskFile(Native(probe), Kind::CannotOpen, path);
    // The new version takes the place of one name only; the file's other
    // names (hard links) would keep the old text, silently split off from it.
    BY_HANDLE_FILE_INFORMATION info;
    if (::GetFileInformationByHandle(Native(probe), &info) && info.nNumberOfLinks > 1)
        throw StorageError(Kind::CannotOpen, path, Reason::HasOtherNames);
}

// The handle of a C runtime file descriptor, which stays the descriptor's.
HANDLE StreamHandle(int fd, Kind kind, const std::string& name) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        throw SystemError(kind, name, ERROR_INVALID_HANDLE);
    return handle;
}

} // namespace

void CloseQuietly(Handle handle) noexcept { ::CloseHandle(reinterpret_cast<HANDLE>(handle)); }

std::string ReadWholeFile(const std::string& path, std::uint64_t maximum) {
    File file = OpenExistingForReading(path);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(file), &size))
        throw SystemError(Kind::ReadFailed, path, ::GetLastError());
    const auto bytesOnDisk = static_cast<std::uint64_t>(size.QuadPart);
    if (bytesOnDisk > maximum) throw StorageError::TooLarge(path, bytesOnDisk, maximum);

    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(bytesOnDisk));
    char buffer[1 << 16];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(Native(file), buffer, sizeof buffer, &got, nullptr))
            throw SystemError(Kind::ReadFailed, path, ::GetLastError());
        if (got == 0) return bytes;
        if (bytes.size() + got > maximum)
            throw StorageError::TooLarge(path, bytes.size() + got, maximum);
        bytes.append(buffer, got);
    }
}

File OpenForReading(const std::string& path, std::uint64_t maximum, std::uint64_t& size) {
    File file = OpenExistingForReading(path);
    LARGE_INTEGER measured{};
    if (!::GetFileSizeEx(Native(file), &measured))
        throw SystemError(Kind::ReadFailed, path, ::GetLastError());
    size = static_cast<std::uint64_t>(measured.QuadPart);
    if (size > maximum) throw StorageError::TooLarge(path, size, maximum);
    return file;
}

std::size_t ReadSome(File& file, const std::string& path, char* buffer, std::size_t room) {
    DWORD got = 0;
    const auto ask = static_cast<DWORD>(std::min<std::size_t>(room, DWORD{1} << 30));
    if (!::ReadFile(Native(file), buffer, ask, &got, nullptr))
        throw SystemError(Kind::ReadFailed, path, ::GetLastError());
    return got;
}

std::string ReadStream(int fd, std::uint64_t maximum, const std::string& name) {
    const HANDLE handle = StreamHandle(fd, Kind::ReadFailed, name);
    // What a file has left to read says how much room to make, and whether it
    // is too large before any of it is read.
    std::uint64_t left = 0;
    LARGE_INTEGER size{}, at{};
    if (::GetFileType(handle) == FILE_TYPE_DISK && ::GetFileSizeEx(handle, &size) &&
        ::SetFilePointerEx(handle, LARGE_INTEGER{}, &at, FILE_CURRENT) &&
        at.QuadPart < size.QuadPart)
        left = static_cast<std::uint64_t>(size.QuadPart - at.QuadPart);
    return detail::ReadToEnd(left, maximum, name, [&](char* buffer, std::size_t room) {
        DWORD got = 0;
        const auto ask = static_cast<DWORD>(std::min<std::size_t>(room, DWORD{1} << 30));
        if (::ReadFile(handle, buffer, ask, &got, nullptr)) return std::size_t{got};
        const DWORD error = ::GetLastError();
        if (error == ERROR_BROKEN_PIPE) return std::size_t{0}; // the writing end is closed
        throw SystemError(Kind::ReadFailed, name, error);
    });
}

void WriteStream(int fd, std::string_view bytes, const std::string& name) {
    const HANDLE handle = StreamHandle(fd, Kind::WriteFailed, name);
    if (const DWORD error = WriteAll(handle, bytes))
        throw SystemError(Kind::WriteFailed, name, error);
}

std::unique_ptr<Replacement> BeginReplacement(const std::string& path, Permissions permissions) {
    const std::wstring target = ResolveTarget(Widen(path, Kind::CannotOpen));
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = AttributesOf(target, error);
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && error != ERROR_FILE_NOT_FOUND) throw SystemError(Kind::CannotOpen, path, error);
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw StorageError(Kind::CannotOpen, path, Reason::IsFolder, ERROR_DIRECTORY);
    if (exists) CheckWritable(target, attributes, path);

    const bool ownerOnly = permissions == Permissions::OwnerOnly;
    OwnerOnlyDescriptor security;
    std::wstring temp;
    File file;
    try {
        file = CreateTemp(FolderOf(target), ownerOnly ? security.get() : nullptr, path, temp);
    } catch (const StorageError& error) {
        // The file itself may be written, but nothing may be made beside it.
        if (exists && error.reason() == Reason::NoPermission)
            throw StorageError(Kind::CannotOpen, path, Reason::FolderNotWritable,
                               error.systemCode());
        throw;
    }
    return std::make_unique<WindowsReplacement>(path, target, std::move(temp), std::move(file),
                                                exists && !ownerOnly);
}

File OpenRecordFile(const std::string& path, RecordAccess access, Permissions permissions) {
    if (access == RecordAccess::ReadOnly) return OpenExistingForReading(path);

    const std::wstring wide = Widen(path, Kind::CannotOpen);
    DWORD error = ERROR_SUCCESS;
    const DWORD attributes = AttributesOf(wide, error);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw StorageError(Kind::CannotOpen, path, Reason::IsFolder, ERROR_DIRECTORY);
    // Windows refuses such a file anyway; Wine run by the super-user would not.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw StorageError(Kind::CannotOpen, path, Reason::NoPermission, ERROR_ACCESS_DENIED);
    OwnerOnlyDescriptor security;
    File file(Wrap(::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 permissions == Permissions::OwnerOnly ? security.get() : nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file.isOpen()) throw SystemError(Kind::CannotOpen, path, ::GetLastError());
    CheckDiskFile(Native(file), Kind::CannotOpen, path);
    return file;
}

std::size_t ReadAt(const File& file, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::string& path) {
    std::size_t got = 0;
    while (got < size) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + got;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - got, 1u << 30));
        if (!::ReadFile(Native(file), buffer + got, chunk, &n, &at)) {
            const DWORD error = ::GetLastError();
            if (error == ERROR_HANDLE_EOF) break; // the end of the file
            throw SystemError(Kind::ReadFailed, path, error);
        }
        if (n == 0) break;
        got += n;
    }
    return got;
}

void WriteAt(const File& file, std::uint64_t offset, const char* bytes, std::size_t size,
             const std::string& path) {
    std::size_t put = 0;
    while (put < size) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + put;
        at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - put, 1u << 30));
        if (!::WriteFile(Native(file), bytes + put, chunk, &n, &at))
            throw SystemError(Kind::WriteFailed, path, ::GetLastError());
        if (n == 0) throw SystemError(Kind::WriteFailed, path, ERROR_WRITE_FAULT);
        put += n;
    }
}

std::uint64_t SizeOf(const File& file, const std::string& path) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(file), &size))
        throw SystemError(Kind::ReadFailed, path, ::GetLastError());
    return static_cast<std::uint64_t>(size.QuadPart);
}

void Truncate(const File& file, std::uint64_t size, const std::string& path) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(Native(file), FileEndOfFileInfo, &end, sizeof end))
        throw SystemError(Kind::WriteFailed, path, ::GetLastError());
}

void SyncAndClose(File& file, const std::string& path) {
    HANDLE handle = reinterpret_cast<HANDLE>(file.release());
    DWORD error = ::FlushFileBuffers(handle) ? ERROR_SUCCESS : ::GetLastError();
    if (!::CloseHandle(handle) && error == ERROR_SUCCESS) error = ::GetLastError();
    if (error != ERROR_SUCCESS) throw SystemError(Kind::WriteFailed, path, error);
}

void GuardProcess() {}

namespace win {
StorageError::Reason ReasonOfError(unsigned long error) { return ReasonOf(error); }
} // namespace win

namespace {
// The volume and file index of an open handle: what tells one file from
// another, whatever names lead to it.
bool Identity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return handle != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(handle, &info) != 0;
}

bool IdentityOf(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    std::wstring wide;
    try {
        wide = Widen(path, Kind::NotFound);
    } catch (const StorageError&) {
        return false;
    }
    if (wide.empty()) return false;
    // No right but the attributes' is asked for, and others may do anything
    // meanwhile, so that a file in use can still be told.
    HANDLE handle = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = Identity(handle, info);
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    return known;
}

bool SameIdentity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}
} // namespace

bool SameFile(const std::string& first, const std::string& second) {
    BY_HANDLE_FILE_INFORMATION a, b;
    return IdentityOf(first, a) && IdentityOf(second, b) && SameIdentity(a, b);
}

bool SameFile(int stream, const std::string& path) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(stream));
    BY_HANDLE_FILE_INFORMATION a, b;
    return handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) == FILE_TYPE_DISK &&
           Identity(handle, a) && IdentityOf(path, b) && SameIdentity(a, b);
}

bool Exists(const std::string& path) {
    std::wstring wide;
    try {
        wide = Widen(path, Kind::NotFound);
    } catch (const StorageError&) {
        return false;
    }
    return !wide.empty() && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveFile(const std::string& path) {
    const std::wstring wide = Widen(path, Kind::WriteFailed);
    if (::DeleteFileW(wide.c_str())) return;
    DWORD error = ::GetLastError();
    // Windows refuses to remove a file with the read-only attribute.
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        ::SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (::DeleteFileW(wide.c_str())) return;
        error = ::GetLastError();
        ::SetFileAttributesW(wide.c_str(), attributes); // as it was
    }
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
        throw SystemError(Kind::WriteFailed, path, error);
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    std::wstring pattern = Widen(path, Kind::CannotOpen);
    if (!pattern.empty() && !IsSeparator(pattern.back())) pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                     FindExSearchNameMatch, nullptr, 0);
    std::vector<FolderEntry> entries;
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) return entries; // an empty drive
        throw SystemError(Kind::CannotOpen, path, error);
    }
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const int length = ::WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()),
                                                 nullptr, 0, nullptr, nullptr);
        FolderEntry entry;
        entry.name.resize(static_cast<std::size_t>(length));
        ::WideCharToMultiByte(CP_UTF8, 0, name.data(), int(name.size()), entry.name.data(),
                              length, nullptr, nullptr);
        entry.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.regularFile = !entry.folder && !(data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE);
        entry.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
        // 100-nanosecond steps since 1601.
        const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                    data.ftLastWriteTime.dwLowDateTime;
        entry.modified = static_cast<std::int64_t>(ticks / 10'000'000) - 11'644'473'600LL;
        entries.push_back(std::move(entry));
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return entries;
}

void MakePrivateFolder(const std::string& path) {
    const std::wstring wide = Widen(path, Kind::CannotOpen);
    // Skip what cannot be made: a drive ("c:\") or a share ("\\server\share\").
    std::size_t start = 0;
    if (wide.size() >= 2 && wide[1] == L':') {
        start = 2;
    } else if (wide.size() >= 2 && IsSeparator(wide[0]) && IsSeparator(wide[1])) {
        int parts = 0;
        for (start = 2; start < wide.size() && parts < 2; ++start)
            if (IsSeparator(wide[start])) ++parts;
    }
    // Make each missing folder on the way, from the outermost in.
    for (std::size_t end = start + 1; end <= wide.size(); ++end) {
        if (end < wide.size() && !IsSeparator(wide[end])) continue;
        if (IsSeparator(wide[end - 1])) continue; // a doubled or leading separator
        const std::wstring folder = wide.substr(0, end);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) continue;
        DWORD error = ::GetLastError();
        // An existing folder may also answer "access denied" (a drive's
        // system folders do).
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            // A file in the way: named, rather than "not found".
            throw StorageError::FileInTheWay(Kind::CannotOpen, Narrow(folder), ERROR_DIRECTORY);
        }
        throw SystemError(Kind::CannotOpen, path, error);
    }
}

std::string NameAsMade(const std::string& path) {
    if (path.rfind("\\\\?\\", 0) == 0) return path;
    std::size_t end = path.size();
    while (end > 0 && (path[end - 1] == '.' || path[end - 1] == ' ')) --end;
    // A name of dots alone ("." and "..") names a folder, and stays.
    if (end == 0 || path[end - 1] == '\\' || path[end - 1] == '/' || path[end - 1] == ':')
        return path;
    return path.substr(0, end);
}

bool OwnedByUser(const File& file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(Native(file), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                          nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    const bool own = IsUserOrTokenOwner(owner);
    ::LocalFree(descriptor);
    return own;
}

bool OwnedByUser(const std::string& path) {
    std::wstring wide;
    try {
        wide = Widen(path, Kind::NotFound);
    } catch (const StorageError&) {
        return false;
    }
    // Asking for nothing but the right to read its owner, which the owner
    // always has, whatever the file's ACL grants.
    File file(Wrap(::CreateFileW(wide.c_str(), READ_CONTROL,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    return file.isOpen() && OwnedByUser(file);
}

} // namespace tolvana::storage::platform
