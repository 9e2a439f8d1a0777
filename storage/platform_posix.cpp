// The file system on Linux and other POSIX systems.

#include "storage/platform_posix.h"
#include "storage/platform.h"
#include "storage/platform_p.h"

#include "cipher/hugepages.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace tolvana::storage::platform {
namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

// Every errno that the calls of the file layer are documented to give (open,
// read, write, fsync, close, rename, linkat, fchmod, fchown, the xattr calls,
// opendir and stat) has a reason the user is told in words.
Reason ReasonOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return Reason::NoPermission;
    case ENOSPC:
    case EDQUOT: return Reason::DiskFull;
    case EROFS: return Reason::ReadOnlyFileSystem;
    case ENOENT: return Reason::NotFound;
    case ENOTDIR: return Reason::NotAFolder;
    case EISDIR: return Reason::IsFolder;
    case EPIPE: return Reason::ReceiverClosed;
    case ENAMETOOLONG: return Reason::NameTooLong;
    case ELOOP: return Reason::TooManyLinks;
    case EFBIG: return Reason::FileSizeLimit;
    case ETXTBSY:
    case EBUSY: return Reason::InUse;
    case EMFILE:
    case ENFILE: return Reason::TooManyOpen;
    case EIO: return Reason::DeviceError;
    case EINTR: return Reason::Interrupted;
    case ENOMEM: return Reason::OutOfMemory;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case ENOLCK: return Reason::Busy;
    case EINVAL:
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
    case EOVERFLOW:
    case E2BIG:
    case ERANGE: return Reason::NotSupported;
    case EXDEV: return Reason::OtherFileSystem;
    case EEXIST: return Reason::AlreadyExists;
    case ENOTEMPTY: return Reason::FolderNotEmpty;
    case EMLINK: return Reason::LinkLimit;
    case ESTALE: return Reason::StaleFile;
    case ENODEV:
    case ENXIO: return Reason::NoDevice;
    case EBADF:
    case EFAULT:
    case EDESTADDRREQ:
    case ENODATA: return Reason::ProgramFault;
    default: return Reason::Other;
    }
}

StorageError SystemError(Kind kind, const std::string& path, int error) {
    return StorageError(kind, path, ReasonOf(error), error);
}

int Fd(const File& file) { return static_cast<int>(file.get()); }

// Every system call that reads or writes a file's content or its place goes
// through Call(), so that a test can make the N-th of them fail with an errno
// of its choice (posix::FailCall) and walk a save one call at a time.
struct CallFailure {
    std::atomic<long> made{0};      // calls made since the test armed it
    std::atomic<long> countdown{0}; // the call that fails is the one that takes it to 0
    std::atomic<int> error{0};
    std::atomic<bool> shortWrites{false};
};
CallFailure callFailure;

template <typename System> auto Call(System system) -> decltype(system()) {
    callFailure.made.fetch_add(1, std::memory_order_relaxed);
    if (callFailure.countdown.load(std::memory_order_relaxed) > 0 &&
        callFailure.countdown.fetch_sub(1, std::memory_order_relaxed) == 1) {
        errno = callFailure.error.load(std::memory_order_relaxed);
        return static_cast<decltype(system())>(-1);
    }
    return system();
}

// write(), but at most half of a longer piece where a test asks for short
// writes, as a pipe or a signal may cut one.
ssize_t WriteOnce(int fd, const char* bytes, std::size_t size) {
    if (callFailure.shortWrites.load(std::memory_order_relaxed) && size > 1) size /= 2;
    return Call([&] { return ::write(fd, bytes, size); });
}

// fsync(), again where a signal interrupted it.
int Sync(int fd) {
    int result;
    do result = Call([&] { return ::fsync(fd); });
    while (result != 0 && errno == EINTR);
    return result;
}

// close(), counting EINTR as closed: Linux has closed the descriptor by then,
// and what was written was already synced.
int CloseFile(int fd) {
    const int result = Call([&] { return ::close(fd); });
    return result != 0 && errno == EINTR ? 0 : result;
}

// ---- Temporary files and signals ----

// The names of the temporary files that exist now, for the signal handler:
// plain arrays that it may read without taking a lock or asking for memory.
struct PendingName {
    std::atomic<bool> claimed{false}; // the slot belongs to a save
    std::atomic<bool> ready{false};   // and its name is whole
    char name[PATH_MAX];
};
std::array<PendingName, 8> pendingNames;

// Remembers `name` until Forget(); returns its slot, or -1 when the name is too
// long to keep or every slot is taken (the save goes on; only a signal then
// leaves the file behind).
int Remember(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < pendingNames.size(); ++i) {
        PendingName& slot = pendingNames[i];
        bool expected = false;
        if (!slot.claimed.compare_exchange_strong(expected, true)) continue;
        std::memcpy(slot.name, name.c_str(), name.size() + 1);
        slot.ready.store(true, std::memory_order_release);
        return static_cast<int>(i);
    }
    return -1;
}

void Forget(int slot) {
    if (slot < 0) return;
    PendingName& pending = pendingNames[static_cast<std::size_t>(slot)];
    pending.ready.store(false);
    pending.claimed.store(false);
}

extern "C" void RemoveTemporaryFilesAndEnd(int signal) {
    for (PendingName& slot : pendingNames)
        if (slot.ready.load(std::memory_order_acquire)) ::unlink(slot.name);
    // End as the signal would have, so the parent sees the same status.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// Throws unless `st` describes a regular file: reading a folder or a device,
// or replacing one with a file, is never what the caller meant.
void CheckRegular(const struct stat& st, Kind kind, const std::string& path) {
    if (S_ISDIR(st.st_mode)) throw StorageError(kind, path, Reason::IsFolder, EISDIR);
    if (!S_ISREG(st.st_mode)) throw StorageError(kind, path, Reason::NotRegularFile, EINVAL);
}

struct stat RegularFileStatus(int fd, const std::string& path) {
    struct stat st;
    if (Call([&] { return ::fstat(fd, &st); }) != 0) throw SystemError(Kind::CannotOpen, path, errno);
    CheckRegular(st, Kind::CannotOpen, path);
    return st;
}

// Where the symbolic link `path` points, as it is written in the link; empty
// when `path` is no link.
std::string LinkTarget(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) return {};
    target.resize(static_cast<std::size_t>(n));
    return target;
}

// A name that is there but leads nowhere is a link to a file that is gone (a
// moved disk, a renamed folder): say so and where it points, rather than that
// nothing is there.
void ThrowIfBrokenLink(Kind kind, const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return;
    throw StorageError::BrokenLink(kind, path, LinkTarget(path));
}

std::string FolderOf(const std::string& path);

// The rule that Linux applies to links in sticky folders that everyone may
// write (fs.protected_symlinks): such a link is followed only by its owner, or
// where the folder's owner owns it too. Anyone may plant a link in /tmp that
// points at another user's file; a save must not follow it there, also where
// the system leaves the rule off.
bool MayFollow(const std::string& link, const struct stat& linkStatus) {
    const std::string folder = FolderOf(link);
    struct stat st;
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0) return false;
    const bool shared = (st.st_mode & S_ISVTX) != 0 && (st.st_mode & S_IWOTH) != 0;
    return !shared || linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == st.st_uid;
}

// Opens an existing regular file for reading only. O_NONBLOCK keeps a named
// pipe from blocking the open; it is then refused as not a regular file.
File OpenExistingForReading(const std::string& path, struct stat& st) {
    File file(Call([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
    if (!file.isOpen()) {
        int error = errno;
        bool missing = error == ENOENT || error == ENOTDIR;
        if (error == ENOENT) ThrowIfBrokenLink(Kind::NotFound, path);
        throw SystemError(missing ? Kind::NotFound : Kind::CannotOpen, path, error);
    }
    st = RegularFileStatus(Fd(file), path);
    return file;
}

// Writes all of `bytes`, going on after short writes. Returns 0 or the errno.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = WriteOnce(fd, bytes.data(), bytes.size());
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
// Each link on the way must be one this process may follow (MayFollow); a
// link in a circle, or in too long a chain, is refused as the system would.
std::string ResolveTarget(const std::string& path) {
    std::string at = path;
    for (int links = 0;; ++links) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (links == 40) throw SystemError(Kind::CannotOpen, path, ELOOP);
        if (!MayFollow(at, st)) throw SystemError(Kind::CannotOpen, path, EACCES);
        const std::string next = LinkTarget(at);
        if (next.empty()) break;
        at = next[0] == '/' ? next : FolderOf(at) + next;
    }
    if (at == path) return path;
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
    File file(Call([&] {
        return ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                      mode);
    }));
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
    if (Call([&] {
            return ::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        }) == 0)
        return 0;
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

// The names of a file's extended attributes, each ending in a NUL byte. The
// list is empty where the file system has none.
std::string AttributeNames(const std::string& file, int fd, const std::string& path) {
    for (;;) {
        ssize_t size = fd >= 0 ? Call([&] { return ::flistxattr(fd, nullptr, 0); })
                               : Call([&] { return ::listxattr(file.c_str(), nullptr, 0); });
        if (size < 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) return {};
        if (size < 0) throw SystemError(Kind::CannotOpen, path, errno);
        std::string names(static_cast<std::size_t>(size), '\0');
        size = fd >= 0 ? Call([&] { return ::flistxattr(fd, names.data(), names.size()); })
                       : Call([&] { return ::listxattr(file.c_str(), names.data(), names.size()); });
        if (size < 0 && errno == ERANGE) continue; // the list grew meanwhile
        if (size < 0) throw SystemError(Kind::CannotOpen, path, errno);
        names.resize(static_cast<std::size_t>(size));
        return names;
    }
}

template <typename Each> void ForEachName(const std::string& names, Each each) {
    for (std::size_t at = 0; at < names.size();) {
        const std::size_t end = names.find('\0', at);
        const std::string name = names.substr(at, end - at);
        if (!name.empty()) each(name);
        at = end == std::string::npos ? names.size() : end + 1;
    }
}

constexpr const char* kAccessAcl = "system.posix_acl_access";

// Gives the new version every extended attribute of the file it replaces, as
// `cp --preserve=all` does: its access ACL, its SELinux label and the user's
// own attributes. What the new file inherited and the old one lacked (a
// folder's default ACL) is taken away. An ACL decides who may read and write
// the file, so a save whose ACL cannot be given over is refused
// (AclNotKept): without it, the group bits (which under an ACL hold its mask)
// could give the owning group rights it never had. The user's attributes are
// the user's data, and are kept or the save refused; attributes that the
// system keeps for itself (trusted.*, security.*) are given where this
// process may, as cp does.
void KeepAttributes(int fd, const std::string& old, const std::string& path) {
    const std::string oldNames = AttributeNames(old, -1, path);
    const std::string newNames = AttributeNames({}, fd, path);
    const auto refuse = [&](const std::string& name, int error) {
        if (name == kAccessAcl)
            throw StorageError(Kind::CannotOpen, path, Reason::AclNotKept, error);
        if (name.rfind("user.", 0) == 0) throw SystemError(Kind::CannotOpen, path, error);
    };
    ForEachName(newNames, [&](const std::string& name) {
        if (oldNames.find(name + '\0') == 0 ||
            oldNames.find('\0' + name + '\0') != std::string::npos)
            return;
        if (Call([&] { return ::fremovexattr(fd, name.c_str()); }) != 0 && errno != ENODATA)
            refuse(name, errno);
    });
    ForEachName(oldNames, [&](const std::string& name) {
        std::string value;
        for (;;) {
            ssize_t size = Call([&] { return ::getxattr(old.c_str(), name.c_str(), nullptr, 0); });
            if (size >= 0) {
                value.resize(static_cast<std::size_t>(size));
                size = Call([&] {
                    return ::getxattr(old.c_str(), name.c_str(), value.data(), value.size());
                });
            }
            if (size < 0 && errno == ERANGE) continue;
            if (size < 0 && errno == ENODATA) return; // removed meanwhile
            if (size < 0) return refuse(name, errno);
            value.resize(static_cast<std::size_t>(size));
            break;
        }
        if (Call([&] { return ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0); }) !=
            0)
            refuse(name, errno);
    });
}

// Gives the new version of a file the owner, group, permission bits and
// extended attributes of the one it replaces. Where the owner or group cannot
// be kept (only the super-user may give a file away, or give it a group they
// are not in), the save is refused rather than change them.
void KeepOwnerAndMode(int fd, const std::string& old, const struct stat& oldStatus,
                      const std::string& path) {
    struct stat now;
    if (Call([&] { return ::fstat(fd, &now); }) != 0)
        throw SystemError(Kind::CannotOpen, path, errno);
    if ((now.st_uid != oldStatus.st_uid || now.st_gid != oldStatus.st_gid) &&
        Call([&] { return ::fchown(fd, oldStatus.st_uid, oldStatus.st_gid); }) != 0) {
        const int error = errno;
        throw StorageError(Kind::CannotOpen, path,
                           error == EPERM ? Reason::OwnerNotKept : ReasonOf(error), error);
    }
    KeepAttributes(fd, old, path);
    // Last, so that the bits are the old ones also where an ACL was set.
    if (Call([&] { return ::fchmod(fd, oldStatus.st_mode & 0777); }) != 0)
        throw SystemError(Kind::CannotOpen, path, errno);
}

class PosixReplacement final : public Replacement {
public:
    // `temp` is empty for an unnamed file.
    PosixReplacement(std::string path, std::string target, std::string temp, int slot, File file)
        : path_(std::move(path)), target_(std::move(target)), temp_(std::move(temp)),
          slot_(slot), file_(std::move(file)) {}
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
        if (Sync(Fd(file_)) != 0) Fail(errno);
        if (temp_.empty()) {
            // An unnamed file gets a name only now, just before the rename.
            int fd = Fd(file_);
            try {
                temp_ = WithFreshName(FolderOf(target_), path_, Kind::WriteFailed,
                                      [this, fd](const std::string& name) {
                                          // Known before it exists, so that a signal
                                          // in between leaves nothing either.
                                          slot_ = Remember(name);
                                          const int error = LinkUnnamed(fd, name);
                                          if (error != 0) Forget(std::exchange(slot_, -1));
                                          return error;
                                      });
            } catch (const StorageError&) {
                file_.reset();
                throw;
            }
        }
        // The descriptor is released even when close reports an error.
        int error = CloseFile(static_cast<int>(file_.release())) != 0 ? errno : 0;
        if (error == 0) error = TakeFailure(failNextReplace);
        if (error == 0 &&
            Call([&] { return ::rename(temp_.c_str(), target_.c_str()); }) != 0)
            error = errno;
        if (error != 0) {
            ::unlink(temp_.c_str());
            Forget(std::exchange(slot_, -1));
            throw SystemError(Kind::WriteFailed, path_, error);
        }
        Forget(std::exchange(slot_, -1));
        // Make the rename itself lasting; a folder that cannot be synced does
        // not undo a save that has already replaced the file.
        std::string folder = FolderOf(target_);
        int dir = Call([&] {
            return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        });
        if (dir >= 0) {
            Sync(dir);
            CloseFile(dir);
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
        Forget(std::exchange(slot_, -1));
    }

    std::string path_;   // as the caller gave it, for errors
    std::string target_; // the file that gets replaced (symbolic links resolved)
    std::string temp_;   // the temporary file's name; empty while it has none
    int slot_;           // where the signal handler finds temp_, or -1
    File file_;
};

} // namespace

namespace posix {
void UseUnnamedTemporaryFiles(bool use) { useUnnamedTemporaryFiles = use; }
void FailCall(long call, int error) {
    callFailure.error = error;
    callFailure.countdown = error == 0 ? 0 : call;
    callFailure.made = 0;
}
long CallsMade() { return callFailure.made; }
void UseShortWrites(bool use) { callFailure.shortWrites = use; }
StorageError::Reason ReasonOfErrno(int error) { return ReasonOf(error); }
void FailNext(Operation operation, int error, int times) {
    (operation == Operation::WriteAt ? failNextWriteAt : failNextReplace) =
        Failure{error, error == 0 ? 0 : times};
}
} // namespace posix

void CloseQuietly(Handle handle) noexcept { ::close(static_cast<int>(handle)); }

void GuardProcess() {
    // A write past the user's file size limit then fails with EFBIG, which is
    // told in words, where SIGXFSZ would end the process and every text in it.
    ::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryFilesAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        // A signal that the starter chose to ignore (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

namespace {
bool SameStatus(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
} // namespace

bool SameFile(const std::string& first, const std::string& second) {
    struct stat a, b;
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && SameStatus(a, b);
}

bool SameFile(int stream, const std::string& path) {
    struct stat a, b;
    return ::fstat(stream, &a) == 0 && S_ISREG(a.st_mode) && ::stat(path.c_str(), &b) == 0 &&
           SameStatus(a, b);
}

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
        ssize_t n = Call([&] {
            return full ? ::read(Fd(file), more, sizeof more)
                        : ::read(Fd(file), bytes.data() + used, bytes.size() - used);
        });
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
        const ssize_t n = Call([&] { return ::read(Fd(file), buffer, room); });
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

// The status of the file that a save of `path` replaces, into `st`; false
// when there is none yet. Where `path` is a link, the file is opened through
// it for writing, without creating or truncating it, so that the kernel's own
// rules for following links and writing files refuse what they refuse.
bool ExistingTarget(const std::string& path, const std::string& target, struct stat& st) {
    if (target != path) {
        File through(Call([&] {
            return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }));
        // ENXIO: a pipe without a reader, which stat() below calls by its name.
        if (!through.isOpen() && errno != ENOENT && errno != ENXIO)
            throw SystemError(Kind::CannotOpen, path, errno);
    }
    if (Call([&] { return ::stat(target.c_str(), &st); }) == 0) return true;
    if (errno != ENOENT) throw SystemError(Kind::CannotOpen, path, errno);
    return false;
}

std::unique_ptr<Replacement> BeginReplacement(const std::string& path, Permissions permissions) {
    std::string target = ResolveTarget(path);
    struct stat st;
    bool exists = ExistingTarget(path, target, st);
    if (exists) {
        CheckRegular(st, Kind::CannotOpen, path);
        CheckWritable(target, st, path);
        // The new version takes the place of one name only; the file's other
        // names would keep the old text, silently split off from it.
        if (st.st_nlink > 1) throw StorageError(Kind::CannotOpen, path, Reason::HasOtherNames);
    }

    bool ownerOnly = permissions == Permissions::OwnerOnly;
    mode_t mode = ownerOnly ? 0600 : 0666;
    std::string folder = FolderOf(target);
    std::string temp;
    int slot = -1;
    File file;
    try {
        file = OpenUnnamed(folder, mode, path);
        if (!file.isOpen()) {
            temp = WithFreshName(folder, path, Kind::CannotOpen, [&](const std::string& name) {
                slot = Remember(name);
                file.reset(Call([&] {
                    return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
                }));
                if (file.isOpen()) return 0;
                const int error = errno;
                Forget(std::exchange(slot, -1));
                return error;
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
        if (ownerOnly && Call([&] { return ::fchmod(Fd(file), 0600); }) != 0)
            throw SystemError(Kind::CannotOpen, path, errno);
        if (exists && !ownerOnly) KeepOwnerAndMode(Fd(file), target, st, path);
    } catch (const StorageError&) {
        file.reset();
        if (!temp.empty()) ::unlink(temp.c_str());
        Forget(slot);
        throw;
    }
    return std::make_unique<PosixReplacement>(path, std::move(target), std::move(temp), slot,
                                              std::move(file));
}

File OpenRecordFile(const std::string& path, RecordAccess access, Permissions permissions) {
    if (access == RecordAccess::ReadOnly) {
        struct stat st;
        return OpenExistingForReading(path, st);
    }
    mode_t mode = permissions == Permissions::OwnerOnly ? 0600 : 0666;
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && !MayFollow(path, link))
        throw SystemError(Kind::CannotOpen, path, EACCES);
    File file(Call([&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, mode); }));
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
        ssize_t n = Call([&] {
            return ::pread(Fd(file), buffer + got, size - got, static_cast<off_t>(offset + got));
        });
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
        ssize_t n = Call([&] {
            return ::pwrite(Fd(file), bytes + put, size - put, static_cast<off_t>(offset + put));
        });
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
    if (Call([&] { return ::ftruncate(Fd(file), static_cast<off_t>(size)); }) != 0)
        throw SystemError(Kind::WriteFailed, path, errno);
}

void SyncAndClose(File& file, const std::string& path) {
    int fd = static_cast<int>(file.release());
    int error = Sync(fd) != 0 ? errno : 0;
    if (CloseFile(fd) != 0 && error == 0) error = errno;
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
            throw StorageError::FileInTheWay(Kind::CannotOpen, folder, ENOTDIR);
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
