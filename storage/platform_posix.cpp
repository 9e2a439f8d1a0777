// The file system on Linux and other POSIX systems.

#include "storage/platform_posix.h"
#include "storage/platform.h"
#include "storage/platform_p.h"

#include "cipher/hugepages.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tolvana::storage::platform {
namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

Reason ReasonOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return Reason::NoPermission;
    case ENOSPC:
    case EDQUOT: return Reason::DiskFull;
    case EROFS: return Reason::ReadOnlyFileSystem;
    case ENOENT:
    case ENOTDIR: return Reason::NotFound;
    case EISDIR: return Reason::IsFolder;
    case EPIPE: return Reason::ReceiverClosed;
    default: return Reason::Other;
    }
}

StorageError SystemError(Kind kind, const std::string& path, int error) {
    return StorageError(kind, path, ReasonOf(error), error);
}

int Fd(const File& file) { return static_cast<int>(file.get()); }

// Throws unless `st` describes a regular file: reading a folder or a device,
// or replacing one with a file, is never what the caller meant.
void CheckRegular(const struct stat& st, Kind kind, const std::string& path) {
    if (S_ISDIR(st.st_mode)) throw StorageError(kind, path, Reason::IsFolder, EISDIR);
    if (!S_ISREG(st.st_mode)) throw StorageError(kind, path, Reason::NotRegularFile, EINVAL);
}

struct stat RegularFileStatus(int fd, const std::string& path) {
    struct stat st;
    if (::fstat(fd, &st) != 0) throw SystemError(Kind::CannotOpen, path, errno);
    CheckRegular(st, Kind::CannotOpen, path);
    return st;
}

// Opens an existing regular file for reading only. O_NONBLOCK keeps a named
// pipe from blocking the open; it is then refused as not a regular file.
File OpenExistingForReading(const std::string& path, struct stat& st) {
    File file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.isOpen()) {
        int error = errno;
        bool missing = error == ENOENT || error == ENOTDIR;
        throw SystemError(missing ? Kind::NotFound : Kind::CannotOpen, path, error);
    }
    st = RegularFileStatus(Fd(file), path);
    return file;
}

// Writes all of `bytes`, going on after short writes. Returns 0 or the errno.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A symbolic link stays a link: the file it points to is the one replaced.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path; // a dangling link is replaced by the file
    std::string target = resolved;
    std::free(resolved);
    return target;
}

// A name for a temporary file in `folder` (which is "" or ends in '/').
std::string TempName(const std::string& folder, std::random_device& entropy) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = folder + ".tolvana-";
    unsigned bits = entropy();
    for (int i = 0; i < 6; ++i, bits /= 36) name += kLetters[bits % 36];
    return name;
}

// Gives a temporary file a name: `make(name)` returns 0 or the errno, and is
// tried with fresh names while the name is taken.
template <typename Make>
std::string WithFreshName(const std::string& folder, const std::string& path, Kind kind,
                          Make make) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = TempName(folder, entropy);
        int error = make(name);
        if (error == 0) return name;
        if (error != EEXIST) throw SystemError(kind, path, error);
    }
    throw SystemError(kind, path, EEXIST);
}

bool useUnnamedTemporaryFiles = true;
// Failures that tests ask for: an errno (0 for none) and how many calls fail.
struct Failure {
    int error = 0;
    int times = 0;
};
Failure failNextWriteAt;
Failure failNextReplace;

// The errno of a failure asked for, or 0; each use counts.
int TakeFailure(Failure& failure) {
    if (failure.times <= 0) return 0;
    --failure.times;
    return failure.error;
}

// Opens an unnamed file in `folder` (Linux's O_TMPFILE), which vanishes with
// its descriptor unless it is linked in. Returns no file where the kernel or
// the file system cannot make one, so the caller falls back to a named file.
File OpenUnnamed(const std::string& folder, mode_t mode, const std::string& path) {
#ifdef O_TMPFILE
    if (!useUnnamedTemporaryFiles) return File();
    File file(
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (file.isOpen()) return file;
    int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS) return File();
    throw SystemError(Kind::CannotOpen, path, error);
#else
    (void)folder, (void)mode, (void)path;
    return File();
#endif
}

// Gives the unnamed file `fd` the name `name`. Through /proc/self/fd any user
// may link it; AT_EMPTY_PATH is the way where /proc is not mounted.
int LinkUnnamed(int fd, const std::string& name) {
    std::string proc = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    int error = errno;
    if (error == EEXIST) return error;
#ifdef AT_EMPTY_PATH
    if (::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
#endif
    return error;
}

// Refuses to replace a file that this user may not write, before anything is
// written. Replacing needs only the folder's permission, so the file's own
// must be asked for: faccessat with the effective ids covers the permission
// bits, ACLs and read-only mounts. The super-user passes that test for every
// file, so a file without any write bit, which someone made read-only on
// purpose, is refused for the super-user too.
void CheckWritable(const std::string& target, const struct stat& st, const std::string& path) {
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        throw SystemError(Kind::CannotOpen, path, errno);
    if ((st.st_mode & 0222) == 0) throw SystemError(Kind::CannotOpen, path, EACCES);
}

// Gives the new version of a file the owner, group and permission bits of the
// one it replaces. Where the owner or group cannot be kept (only the
// super-user may give a file away, or give it a group they are not in), the
// save is refused rather than change them.
void KeepOwnerAndMode(int fd, const struct stat& old, const std::string& path) {
    struct stat now;
    if (::fstat(fd, &now) != 0) throw SystemError(Kind::CannotOpen, path, errno);
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        const int error = errno;
        throw StorageError(Kind::CannotOpen, path,
                           error == EPERM ? Reason::OwnerNotKept : ReasonOf(error), error);
    }
    if (::fchmod(fd, old.st_mode & 0777) != 0) throw SystemError(Kind::CannotOpen, path, errno);
}

class PosixReplacement final : public Replacement {
public:
    // `temp` is empty for an unnamed file.
    PosixReplacement(std::string path, std::string target, std::string temp, File file)
        : path_(std::move(path)), target_(std::move(target)), temp_(std::move(temp)),
          file_(std::move(file)) {}
    ~PosixReplacement() override { Discard(); }

    void Write(std::string_view bytes) override {
        if (!file_.isOpen()) throw std::logic_error("Write after the file was closed");
        if (int error = WriteAll(Fd(file_), bytes)) {
            Discard();
            throw SystemError(Kind::WriteFailed, path_, error);
        }
    }

    void Commit() override {
        if (!file_.isOpen()) return;
        if (::fsync(Fd(file_)) != 0) Fail(errno);
        if (temp_.empty()) {
            // An unnamed file gets a name only now, just before the rename.
            int fd = Fd(file_);
            try {
                temp_ =
                    WithFreshName(FolderOf(target_), path_, Kind::WriteFailed,
                                  [fd](const std::string& name) { return LinkUnnamed(fd, name); });
            } catch (const StorageError&) {
                file_.reset();
                throw;
            }
        }
        // The descriptor is released even when close reports an error.
        int error = ::close(static_cast<int>(file_.release())) != 0 ? errno : 0;
        if (error == 0) error = TakeFailure(failNextReplace);
        if (error == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
        if (error != 0) {
            ::unlink(temp_.c_str());
            throw SystemError(Kind::WriteFailed, path_, error);
        }
        // Make the rename itself lasting; a folder that cannot be synced does
        // not undo a save that has already replaced the file.
        std::string folder = FolderOf(target_);
        int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }

private:
    [[noreturn]] void Fail(int error) {
        Discard();
        throw SystemError(Kind::WriteFailed, path_, error);
    }

    void Discard() noexcept {
        if (!file_.isOpen()) return;
        file_.reset();
        if (!temp_.empty()) ::unlink(temp_.c_str());
    }

    std::string path_;   // as the caller gave it, for errors
    std::string target_; // the file that gets replaced (symbolic links resolved)
    std::string temp_;   // the temporary file's name; empty while it has none
    File file_;
};

} // namespace

namespace posix {
void UseUnnamedTemporaryFiles(bool use) { useUnnamedTemporaryFiles = use; }
void FailNext(Operation operation, int error, int times) {
    (operation == Operation::WriteAt ? failNextWriteAt : failNextReplace) =
        Failure{error, error == 0 ? 0 : times};
}
} // namespace posix

void CloseQuietly(Handle handle) noexcept { ::close(static_cast<int>(handle)); }

std::string ReadWholeFile(const std::string& path, std::uint64_t maximum) {
    struct stat st;
    File file = OpenExistingForReading(path, st);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maximum) throw StorageError::TooLarge(path, size, maximum);

    // Read straight into the result, which for a large file is backed by huge
    // pages: faulting in its pages is most of the cost of reading a file that
    // is in the page cache.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    AdviseHugePages(bytes.data(), static_cast<std::size_t>(size));
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t used = 0;
    char more[1 << 12];
    for (;;) {
        // Once the measured size is read, a small read finds the end; a file
        // that grew since it was measured goes on from there.
        const bool full = used == bytes.size();
        ssize_t n = full ? ::read(Fd(file), more, sizeof more)
                         : ::read(Fd(file), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw SystemError(Kind::ReadFailed, path, errno);
        if (n == 0) break;
        const auto got = static_cast<std::size_t>(n);
        if (used + got > maximum) throw StorageError::TooLarge(path, used + got, maximum);
        if (full) bytes.append(more, got);
        used += got;
    }
    bytes.resize(used);
    return bytes;
}

File OpenForReading(const std::string& path, std::uint64_t maximum, std::uint64_t& size) {
    struct stat st;
    File file = OpenExistingForReading(path, st);
    size = static_cast<std::uint64_t>(st.st_size);
    if (size > maximum) throw StorageError::TooLarge(path, size, maximum);
    return file;
}

std::size_t ReadSome(File& file, const std::string& path, char* buffer, std::size_t room) {
    for (;;) {
        const ssize_t n = ::read(Fd(file), buffer, room);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw SystemError(Kind::ReadFailed, path, errno);
    }
}

std::string ReadStream(int fd, std::uint64_t maximum, const std::string& name) {
    // What a file has left to read says how much room to make, and whether it
    // is too large before any of it is read.
    std::uint64_t left = 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) throw SystemError(Kind::ReadFailed, name, errno);
    if (S_ISREG(st.st_mode)) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        if (at >= 0 && at < st.st_size) left = static_cast<std::uint64_t>(st.st_size - at);
    }
    return detail::ReadToEnd(left, maximum, name, [&](char* buffer, std::size_t room) {
        for (;;) {
            const ssize_t got = ::read(fd, buffer, room);
            if (got >= 0) return static_cast<std::size_t>(got);
            if (errno != EINTR) throw SystemError(Kind::ReadFailed, name, errno);
        }
    });
}

void WriteStream(int fd, std::string_view bytes, const std::string& name) {
    if (const int error = WriteAll(fd, bytes)) throw SystemError(Kind::WriteFailed, name, error);
}

std::unique_ptr<Replacement> BeginReplacement(const std::string& path, Permissions permissions) {
    std::string target = ResolveTarget(path);
    struct stat st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        CheckRegular(st, Kind::CannotOpen, path);
        CheckWritable(target, st, path);
    } else if (errno != ENOENT) {
        throw SystemError(Kind::CannotOpen, path, errno);
    }

    bool ownerOnly = permissions == Permissions::OwnerOnly;
    mode_t mode = ownerOnly ? 0600 : 0666;
    std::string folder = FolderOf(target);
    std::string temp;
    File file;
    try {
        file = OpenUnnamed(folder, mode, path);
        if (!file.isOpen()) {
            temp = WithFreshName(folder, path, Kind::CannotOpen, [&](const std::string& name) {
                file.reset(::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
                return file.isOpen() ? 0 : errno;
            });
        }
    } catch (const StorageError& error) {
        // The file itself may be written, but nothing may be made beside it.
        if (exists && error.reason() == Reason::NoPermission)
            throw StorageError(Kind::CannotOpen, path, Reason::FolderNotWritable,
                               error.systemCode());
        throw;
    }
    try {
        if (ownerOnly && ::fchmod(Fd(file), 0600) != 0)
            throw SystemError(Kind::CannotOpen, path, errno);
        if (exists && !ownerOnly) KeepOwnerAndMode(Fd(file), st, path);
    } catch (const StorageError&) {
        file.reset();
        if (!temp.empty()) ::unlink(temp.c_str());
        throw;
    }
    return std::make_unique<PosixReplacement>(path, std::move(target), std::move(temp),
                                              std::move(file));
}

File OpenRecordFile(const std::string& path, RecordAccess access, Permissions permissions) {
    if (access == RecordAccess::ReadOnly) {
        struct stat st;
        return OpenExistingForReading(path, st);
    }
    mode_t mode = permissions == Permissions::OwnerOnly ? 0600 : 0666;
    File file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, mode));
    if (!file.isOpen()) throw SystemError(Kind::CannotOpen, path, errno);
    struct stat st = RegularFileStatus(Fd(file), path);
    // The super-user may open any file for writing; one without a write bit
    // was made read-only on purpose and is not written, as for a save.
    if ((st.st_mode & 0222) == 0) throw SystemError(Kind::CannotOpen, path, EACCES);
    return file;
}

std::size_t ReadAt(const File& file, std::uint64_t offset, char* buffer, std::size_t size,
                   const std::string& path) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(Fd(file), buffer + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw SystemError(Kind::ReadFailed, path, errno);
        if (n == 0) break; // the end of the file
        got += static_cast<std::size_t>(n);
    }
    return got;
}

void WriteAt(const File& file, std::uint64_t offset, const char* bytes, std::size_t size,
             const std::string& path) {
    if (int error = TakeFailure(failNextWriteAt)) throw SystemError(Kind::WriteFailed, path, error);
    std::size_t put = 0;
    while (put < size) {
        ssize_t n = ::pwrite(Fd(file), bytes + put, size - put, static_cast<off_t>(offset + put));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw SystemError(Kind::WriteFailed, path, n < 0 ? errno : EIO);
        put += static_cast<std::size_t>(n);
    }
}

std::uint64_t SizeOf(const File& file, const std::string& path) {
    struct stat st;
    if (::fstat(Fd(file), &st) != 0) throw SystemError(Kind::ReadFailed, path, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

void Truncate(const File& file, std::uint64_t size, const std::string& path) {
    if (::ftruncate(Fd(file), static_cast<off_t>(size)) != 0)
        throw SystemError(Kind::WriteFailed, path, errno);
}

void SyncAndClose(File& file, const std::string& path) {
    int fd = static_cast<int>(file.release());
    int error = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw SystemError(Kind::WriteFailed, path, error);
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

void RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw SystemError(Kind::WriteFailed, path, errno);
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw SystemError(Kind::CannotOpen, path, errno);
    DIR* folder = ::fdopendir(fd);
    if (folder == nullptr) {
        const int error = errno;
        ::close(fd);
        throw SystemError(Kind::CannotOpen, path, error);
    }
    std::vector<FolderEntry> entries;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        FolderEntry found{name};
        struct stat st;
        if (::fstatat(fd, entry->d_name, &st, 0) == 0) {
            found.regularFile = S_ISREG(st.st_mode);
            found.folder = S_ISDIR(st.st_mode);
            found.size = static_cast<std::uint64_t>(st.st_size);
            found.modified = static_cast<std::int64_t>(st.st_mtime);
        }
        entries.push_back(std::move(found));
    }
    ::closedir(folder); // closes fd too
    return entries;
}

void MakePrivateFolder(const std::string& path) {
    // Make each missing folder on the way, from the outermost in.
    for (std::size_t end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') continue;
        std::string folder = path.substr(0, end);
        if (::mkdir(folder.c_str(), 0700) == 0) continue;
        int error = errno;
        struct stat st;
        if (error == EEXIST && ::stat(folder.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode)) continue;
            // A file in the way: named, rather than "not found".
            throw StorageError(Kind::CannotOpen, folder, Reason::NotAFolder, ENOTDIR);
        }
        throw SystemError(Kind::CannotOpen, path, error);
    }
}

std::string NameAsMade(const std::string& path) { return path; }

bool OwnedByUser(const File& file) {
    struct stat st;
    return ::fstat(Fd(file), &st) == 0 && st.st_uid == ::geteuid();
}

bool OwnedByUser(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

} // namespace tolvana::storage::platform
