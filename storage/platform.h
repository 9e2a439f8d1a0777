#pragma once

// The file system as the file layer needs it, and the standard streams as
// tolvana-cipher needs them: every call that reaches the operating system's
// files and streams goes through the functions below, and everything else in
// storage/ is the same on every platform.
//
// There is one implementation per platform, each in a file of its own:
// platform_posix.cpp (Linux and other POSIX systems) and platform_win.cpp
// (Windows). The build picks one. Neither may be changed in a way that makes
// the bytes on disk differ: files are always read and written in binary, byte
// for byte, with no line-end translation and no end-of-file character.
//
// Conventions for every function here:
//
// - Paths are byte strings that never hold a NUL byte (the callers refuse such
//   paths first). On POSIX they go to the system unchanged. On Windows they
//   are UTF-8 and are turned into wide characters for the W functions, so
//   names with å, ä and ö work; both '/' and '\' separate folders there.
// - Every failure throws StorageError (storage/storageerror.h) naming the path
//   the caller gave, the Kind of operation that failed, the portable Reason
//   and the native code (errno, or GetLastError() on Windows). The Reason is
//   what the user is told, so the native codes must be mapped with care:
//     no permission (EACCES, EPERM / ERROR_ACCESS_DENIED, a read-only
//     attribute): NoPermission;
//     a file that another program holds open without sharing it, or locks
//     (ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION): InUse;
//     ENOSPC, EDQUOT / ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL: DiskFull;
//     EROFS / ERROR_WRITE_PROTECT: ReadOnlyFileSystem;
//     ENOENT / ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND: NotFound, and
//     BrokenLink where the name is a symbolic link to nothing;
//     ENOTDIR: NotAFolder;
//     a folder where a file was wanted (EISDIR): IsFolder;
//     a device, pipe or socket where a file was wanted: NotRegularFile;
//     a file the user may write that is not replaced because its owner could
//     not be kept, or because no file can be made in its folder:
//     OwnerNotKept, FolderNotWritable (see BeginReplacement);
//     a write to a pipe whose reader has gone (EPIPE / ERROR_BROKEN_PIPE,
//     ERROR_NO_DATA): ReceiverClosed;
//     every other code the system documents for these calls: its own Reason
//     (NameTooLong, TooManyLinks, FileSizeLimit, InUse, DeviceError, ...);
//     anything else: Other, with the native code.
// - No function blocks on a named pipe or a device: such paths are refused as
//   NotRegularFile.
// - Handles are closed on every path, also when a function throws.

#include "storage/storageerror.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::storage {

// The permissions a file gets when the file layer creates it.
enum class Permissions {
    // A new file gets the platform's default (0666 less the umask on POSIX,
    // the folder's inherited ACL on Windows). A replaced file keeps the owner,
    // group and permission bits (on Windows: its ACL and attributes) it had.
    Ordinary,
    // Only the owner may read and write it (0600 on POSIX), also when it
    // replaces a file that allowed more. For the password files.
    OwnerOnly,
};

namespace platform {

// A native handle: a file descriptor on POSIX, a HANDLE on Windows, held as an
// integer so that this header needs no system header.
using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1; // also INVALID_HANDLE_VALUE

// Closes a handle and ignores any error; for paths that already fail.
void CloseQuietly(Handle handle) noexcept;

// An open file that is closed when it goes out of scope.
class File {
public:
    File() = default;
    explicit File(Handle handle) : handle_(handle) {}
    File(File&& other) noexcept : handle_(other.release()) {}
    File& operator=(File&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { reset(); }

    bool isOpen() const { return handle_ != kNoHandle; }
    Handle get() const { return handle_; }
    Handle release() {
        Handle handle = handle_;
        handle_ = kNoHandle;
        return handle;
    }
    void reset(Handle handle = kNoHandle) noexcept {
        if (handle_ != kNoHandle) CloseQuietly(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = kNoHandle;
};

// ---- Reading a whole file ----

// Returns every byte of the existing regular file `path`.
//
// The size is checked BEFORE anything is read or reserved: a file larger than
// `maximum` bytes throws StorageError::TooLarge(path, size, maximum), with
// Kind CannotOpen. A file that grows past `maximum` while it is read throws
// the same, with the size reached. Memory for more than `maximum` bytes is
// never asked for, so a sparse file of many gigabytes is refused at once.
//
// Throws Kind NotFound (Reason NotFound) when nothing exists at `path` or a
// folder on the way is missing; Kind CannotOpen for a folder (IsFolder), a
// device or pipe (NotRegularFile) or no permission; Kind ReadFailed when the
// device fails a read.
std::string ReadWholeFile(const std::string& path, std::uint64_t maximum);

// ---- Reading a file a piece at a time ----

// Opens the existing regular file `path` for reading, with the checks and
// errors of ReadWholeFile (TooLarge on the size measured now), and sets
// `size` to that size.
File OpenForReading(const std::string& path, std::uint64_t maximum, std::uint64_t& size);

// Reads up to `room` bytes of `file` into `buffer`: the count read, 0 at the
// end. Throws Kind ReadFailed, naming `path`.
std::size_t ReadSome(File& file, const std::string& path, char* buffer, std::size_t room);

// ---- Streams: standard input, output and error ----
//
// A stream is named by its C runtime file descriptor (0, 1 and 2 are standard
// input, output and error), which stays open: these functions neither open
// nor close it. On Windows they read and write the descriptor's own handle,
// so bytes pass unchanged whatever the descriptor's mode. A stream may be a
// pipe, a terminal or a file; `name` names it in the errors thrown.

// Reads the stream `fd` from where it stands to its end.
//
// More than `maximum` bytes throws StorageError::TooLarge(name, the bytes
// found, maximum): at once, before anything is read, for a file whose size
// says so, and otherwise as soon as the bytes read pass `maximum`. Memory for
// more than `maximum` + 1 bytes is never asked for. Throws Kind ReadFailed when
// a read fails.
std::string ReadStream(int fd, std::uint64_t maximum, const std::string& name);

// Writes all of `bytes` to the stream `fd`, going on after short writes.
// Throws Kind WriteFailed, with ReceiverClosed for a pipe that nobody reads
// any more (where the process is not ended by SIGPIPE first).
void WriteStream(int fd, std::string_view bytes, const std::string& name);

// ---- Replacing a file as a whole ----

// A new version of a file, written beside it and put in its place as one step.
// Until Commit() has returned, the target keeps its old content, and after any
// failure, or destruction without Commit(), nothing is left behind: the
// temporary content is removed (on Linux it is an unnamed O_TMPFILE file where
// the file system allows, so even a killed process leaves nothing).
class Replacement {
public:
    virtual ~Replacement() = default;

    // Appends bytes to the new version. On failure the temporary content is
    // removed and StorageError(WriteFailed) is thrown; the object is then
    // spent (further calls throw std::logic_error).
    virtual void Write(std::string_view bytes) = 0;

    // Flushes the new version to the disk (fsync / FlushFileBuffers), puts it
    // in place of the target in one step (rename / MoveFileExW with
    // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, or ReplaceFileW),
    // and makes that step lasting where the platform allows (fsync of the
    // folder). On failure the temporary content is removed, the target keeps
    // its old content and StorageError(WriteFailed) is thrown. Calling it a
    // second time does nothing.
    virtual void Commit() = 0;
};

// Starts a new version of `path`. Everything below is checked before a single
// byte is written:
//
// - The folder must exist and the temporary file is made in it, so the final
//   step never crosses file systems. (On Windows, for "c:\id" the folder is
//   "c:\", for "name" the current folder.)
// - A symbolic link is followed: the file it points at is replaced and the
//   link stays a link. A link that another user planted in a sticky folder
//   that everyone may write (/tmp) is not followed (NoPermission), as Linux's
//   fs.protected_symlinks rule has it.
// - An existing target with more than one name (hard links) is refused with
//   HasOtherNames: the other names would keep the old text.
// - An existing target must be a regular file (IsFolder, NotRegularFile).
// - An existing target that the user may not write is refused with
//   NoPermission: on POSIX its permission bits as they apply to this user,
//   with the super-user refused too when no write bit is set at all, and
//   faccessat(W_OK, AT_EACCESS) for ACLs and read-only mounts; on Windows its
//   read-only attribute and its ACL. (Renaming needs only the folder's right,
//   so without this check a read-only file would be replaced.)
// - An existing target that the user may write, in a folder where no file may
//   be made, is refused with FolderNotWritable: it could only be written in
//   place, and a failure halfway would lose it. (A new file there is refused
//   with NoPermission.)
// - With Permissions::Ordinary an existing target's owner, group and
//   permission bits are given to the new version; where that is not allowed
//   (a file of another user, or of a group the user is not in), the save is
//   refused with OwnerNotKept rather than change them. Its extended
//   attributes go over too: an ACL that cannot is refused with AclNotKept,
//   since the group bits alone could give the group more than the ACL did.
//   (Windows: ReplaceFileW keeps the old file's ACL, so there is nothing to
//   refuse.)
//
// Throws StorageError(CannotOpen).
std::unique_ptr<Replacement> BeginReplacement(const std::string& path, Permissions permissions);

// ---- Record files ----

enum class RecordAccess {
    ReadWrite, // open for reading and writing; a missing file is created empty
    ReadOnly,  // open an existing file for reading only
};

// Opens the regular file `path` for records. ReadWrite creates a missing file
// with `permissions` (ReadOnly ignores them) and keeps the content of an
// existing one; like BeginReplacement it refuses (NoPermission) a file that
// the user may not write, the super-user included when a POSIX file has no
// write bit at all (on Windows: the read-only attribute). Throws StorageError: Kind NotFound for a
// missing file opened ReadOnly, Kind CannotOpen otherwise (IsFolder, NotRegularFile, NoPermission,
// NotFound for a missing folder, ...).
File OpenRecordFile(const std::string& path, RecordAccess access, Permissions permissions);

// Reads up to `size` bytes at byte `offset`. Returns fewer only when the end
// of the file comes first (0 at or past the end). Throws ReadFailed.
std::size_t ReadAt(const File& file, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::string& path);

// Writes all `size` bytes at byte `offset`, extending the file (with zero
// bytes in between) when it is shorter. Throws WriteFailed.
void WriteAt(const File& file, std::uint64_t offset, const char* bytes, std::size_t size,
             const std::string& path);

// The file's size in bytes. Throws ReadFailed.
std::uint64_t SizeOf(const File& file, const std::string& path);

// Cuts the file to `size` bytes (or extends it with zero bytes). Throws
// WriteFailed.
void Truncate(const File& file, std::uint64_t size, const std::string& path);

// Flushes what was written to the disk and closes the file. The file is closed
// also when this throws StorageError(WriteFailed).
void SyncAndClose(File& file, const std::string& path);

// ---- The process ----

// Readies the process for the file layer once, at start. On POSIX: a write
// past the user's file size limit (ulimit -f) fails with EFBIG, told in
// words, instead of ending the process by SIGXFSZ; and an interrupt,
// termination or hang-up (SIGINT, SIGTERM, SIGHUP) first removes the
// temporary file of every save under way, then ends the process as the
// signal would have. A signal the process was started to ignore stays
// ignored. On Windows there is nothing to ready.
void GuardProcess();

// Whether two names lead to one file: the same device and inode on POSIX, the
// same volume and file index on Windows, links followed. False where either
// does not exist. The second form asks it of an open stream (0 for standard
// input), which is never the same as anything but a file.
bool SameFile(const std::string& first, const std::string& second);
bool SameFile(int stream, const std::string& path);
// ---- Names ----

// The name that a file made at `path` gets. On Windows the last part of the
// path loses its trailing dots and blanks ("brev.crp." and "brev.crp " make
// "brev.crp"), except after the \\?\ prefix, which turns that off; elsewhere
// it is `path` itself. A file's kind is judged by this name, so that it is
// the kind of the file on the disk.
std::string NameAsMade(const std::string& path);

// ---- Whose a file is ----

// Whether the open `file` belongs to the user this program runs as: on POSIX
// its owner is the effective user; on Windows its owner is the user's own SID
// or the token's default owner (the administrators group, for a file made by
// an elevated run of the same user). False when the owner cannot be found.
bool OwnedByUser(const File& file);

// The same for whatever stands at `path` (links followed), found without
// opening it for reading, so also for a file this user may not read. False
// when nothing is there or its owner cannot be found out (on Windows the
// owner of a file may always read its owner).
bool OwnedByUser(const std::string& path);

// ---- Folders and names ----

// True when anything at all exists at `path` (a dangling symbolic link too).
// False when nothing does, and also when that cannot be found out.
bool Exists(const std::string& path);

// Removes the file `path` (not a folder); a missing file is no error. A file
// marked read-only is removed too (on POSIX that takes only the folder's
// permission; on Windows its read-only attribute is cleared first). Throws
// WriteFailed.
void RemoveFile(const std::string& path);

// One entry of a folder: its name as the system's bytes (UTF-8 on Windows),
// whether it is a regular file or a folder (symbolic links followed), its size
// in bytes and the time it was last changed, in seconds since 1970.
struct FolderEntry {
    std::string name;
    bool regularFile = false;
    bool folder = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// The entries of the folder `path`, "." and ".." left out, in no particular
// order. Throws StorageError(CannotOpen) when the folder cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& path);

// Makes the folder `path` and any missing parents, each readable and writable
// by the owner only (0700; on Windows the inherited ACL). An existing folder
// is left as it is. Throws StorageError(CannotOpen) when a folder cannot be
// made; where a file stands in the way, with Reason NotAFolder and that
// file's path.
void MakePrivateFolder(const std::string& path);

} // namespace platform
} // namespace tolvana::storage
