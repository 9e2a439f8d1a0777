#include "storage/files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tolvana::storage {

namespace {

using Kind = StorageError::Kind;

const char* KindText(Kind kind) {
    switch (kind) {
    case Kind::NotFound: return "file not found";
    case Kind::CannotOpen: return "cannot open";
    case Kind::PastEnd: return "input past end of file";
    case Kind::ReadFailed: return "read failed";
    case Kind::WriteFailed: return "write failed";
    }
    return "file error";
}

std::string ReasonText(Kind kind, int error, std::string reason) {
    if (!reason.empty()) return reason;
    if (error != 0) return std::strerror(error);
    return KindText(kind);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Consumes the one comma or line end (CR LF, a lone CR or a lone LF) that ends
// a field, if one stands at `pos`.
std::size_t SkipSeparator(std::string_view bytes, std::size_t pos) {
    if (pos >= bytes.size()) return pos;
    if (bytes[pos] == ',' || bytes[pos] == '\n') return pos + 1;
    if (bytes[pos] != '\r') return pos;
    return pos + 1 < bytes.size() && bytes[pos + 1] == '\n' ? pos + 2 : pos + 1;
}

// A path holding a NUL byte would silently name a different, shorter path.
void CheckPath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        throw StorageError(Kind::CannotOpen, path, EINVAL, "the path holds a NUL character");
}

// Throws CannotOpen unless `st` describes a regular file: reading a folder or a
// device, or replacing one with a file, is never what the caller meant.
void CheckRegular(const struct stat& st, const std::string& path) {
    if (S_ISDIR(st.st_mode)) throw StorageError(Kind::CannotOpen, path, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw StorageError(Kind::CannotOpen, path, EINVAL, "not a regular file");
}

class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

std::string ReadAll(int fd, const struct stat& st, const std::string& path) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw StorageError(Kind::ReadFailed, path, errno);
        if (n == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
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

// Creates a new, empty temporary file in `folder` (which is "" or ends in '/').
int CreateTemp(const std::string& folder, mode_t mode, const std::string& path, std::string& temp) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".tolvana-";
        unsigned bits = entropy();
        for (int i = 0; i < 6; ++i, bits /= 36) name += kLetters[bits % 36];
        temp = folder + name;
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) throw StorageError(Kind::CannotOpen, path, errno);
    }
    throw StorageError(Kind::CannotOpen, path, EEXIST);
}

off_t RecordOffset(std::int32_t record) {
    if (record < 1) throw std::invalid_argument("record numbers start at 1");
    return static_cast<off_t>(record - 1) * kRecordLength;
}

} // namespace

StorageError::StorageError(Kind kind, std::string path, int error, std::string reason)
    : std::runtime_error(std::string(KindText(kind)) + " \"" + path +
                         "\": " + ReasonText(kind, error, reason)),
      kind_(kind), path_(std::move(path)), error_(error),
      reason_(ReasonText(kind, error, std::move(reason))) {}

// ---- Input ----

InputFile::InputFile(std::string path, std::string bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)), open_(true) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), bytes_(std::move(other.bytes_)),
      pos_(std::exchange(other.pos_, 0)), open_(std::exchange(other.open_, false)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this == &other) return *this;
    path_ = std::move(other.path_);
    bytes_ = std::move(other.bytes_);
    pos_ = std::exchange(other.pos_, 0);
    open_ = std::exchange(other.open_, false);
    return *this;
}

bool InputFile::AtEnd() const {
    if (!open_) throw std::logic_error("AtEnd on a closed file");
    return pos_ >= bytes_.size();
}

std::string InputFile::ReadField() {
    if (AtEnd()) throw StorageError(Kind::PastEnd, path_, 0);
    const std::string_view all = bytes_;
    const std::size_t size = all.size();
    std::size_t pos = pos_;
    while (pos < size && IsBlank(all[pos])) ++pos;

    std::string field;
    if (pos < size && all[pos] == '"') {
        std::size_t close = all.find('"', pos + 1);
        if (close == std::string_view::npos) close = size;
        field = all.substr(pos + 1, close - pos - 1);
        pos = close == size ? size : close + 1;
        while (pos < size && IsBlank(all[pos])) ++pos;
        pos = SkipSeparator(all, pos);
    } else {
        std::size_t stop = all.find_first_of(",\r\n", pos);
        if (stop == std::string_view::npos) stop = size;
        std::size_t last = stop;
        while (last > pos && IsBlank(all[last - 1])) --last;
        field = all.substr(pos, last - pos);
        pos = SkipSeparator(all, stop);
    }
    pos_ = pos;
    return field;
}

void InputFile::Close() {
    open_ = false;
    bytes_ = std::string();
    pos_ = 0;
}

namespace {

// Checks that the open file `fd` is a regular file and returns its status.
struct stat RegularFileStatus(int fd, const std::string& path) {
    struct stat st;
    if (::fstat(fd, &st) != 0) throw StorageError(Kind::CannotOpen, path, errno);
    CheckRegular(st, path);
    return st;
}

// Opens an existing regular file for reading only. O_NONBLOCK keeps a named
// pipe from blocking the open; it is then refused as not a regular file.
int OpenExistingForReading(const std::string& path, struct stat& st) {
    CheckPath(path);
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        int error = errno;
        bool missing = error == ENOENT || error == ENOTDIR;
        throw StorageError(missing ? Kind::NotFound : Kind::CannotOpen, path, error);
    }
    FdGuard guard(fd);
    st = RegularFileStatus(fd, path);
    return guard.release();
}

} // namespace

InputFile OpenForInput(const std::string& path) {
    struct stat st;
    FdGuard guard(OpenExistingForReading(path, st));
    return InputFile(path, ReadAll(guard.get(), st, path));
}

// ---- Output ----

OutputFile::OutputFile(std::string path, std::string target, std::string temp, int fd)
    : path_(std::move(path)), target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)), target_(std::move(other.target_)),
      temp_(std::move(other.temp_)), fd_(std::exchange(other.fd_, -1)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        target_ = std::move(other.target_);
        temp_ = std::move(other.temp_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() noexcept {
    if (fd_ < 0) return;
    ::close(std::exchange(fd_, -1));
    ::unlink(temp_.c_str());
}

void OutputFile::WriteField(std::string_view text) {
    if (fd_ < 0) throw std::logic_error("WriteField on a closed file");
    std::string line;
    line.reserve(text.size() + 4);
    line += '"';
    line += text;
    line += "\"\r\n";
    if (int error = WriteAll(fd_, line)) {
        Discard();
        throw StorageError(Kind::WriteFailed, path_, error);
    }
}

void OutputFile::Close() {
    if (fd_ < 0) return;
    if (::fsync(fd_) != 0) {
        int error = errno;
        Discard();
        throw StorageError(Kind::WriteFailed, path_, error);
    }
    // The descriptor is released even when close reports an error.
    if (::close(std::exchange(fd_, -1)) != 0 || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        int error = errno;
        ::unlink(temp_.c_str());
        throw StorageError(Kind::WriteFailed, path_, error);
    }
    // Make the rename itself lasting; a folder that cannot be synced does not
    // undo a save that has already replaced the file.
    std::string folder = FolderOf(target_);
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

OutputFile OpenForOutput(const std::string& path, Permissions permissions) {
    CheckPath(path);
    std::string target = ResolveTarget(path);
    struct stat st;
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists)
        CheckRegular(st, path);
    else if (errno != ENOENT)
        throw StorageError(Kind::CannotOpen, path, errno);

    bool ownerOnly = permissions == Permissions::OwnerOnly;
    std::string temp;
    int fd = CreateTemp(FolderOf(target), ownerOnly ? 0600 : 0666, path, temp);
    if (exists && !ownerOnly) {
        // Keep the replaced file's owner where allowed, and its permission bits.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Only the super-user may give a file away; the file stays ours.
        }
        if (::fchmod(fd, st.st_mode & 0777) != 0) {
            int error = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            throw StorageError(Kind::CannotOpen, path, error);
        }
    }
    return OutputFile(path, std::move(target), std::move(temp), fd);
}

// ---- Records ----

RecordFile::RecordFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)),
      written_(std::exchange(other.written_, false)) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        written_ = std::exchange(other.written_, false);
    }
    return *this;
}

RecordFile::~RecordFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::int16_t RecordFile::GetRecord(std::int32_t record) {
    if (fd_ < 0) throw std::logic_error("GetRecord on a closed file");
    off_t offset = RecordOffset(record);
    unsigned char bytes[kRecordLength] = {0, 0};
    std::size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = ::pread(fd_, bytes + got, sizeof bytes - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw StorageError(Kind::ReadFailed, path_, errno);
        if (n == 0) break; // the rest of the record lies past the end: it stays 0
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8));
}

void RecordFile::PutRecord(std::int32_t record, std::int16_t value) {
    if (fd_ < 0) throw std::logic_error("PutRecord on a closed file");
    off_t offset = RecordOffset(record);
    auto bits = static_cast<std::uint16_t>(value);
    const unsigned char bytes[kRecordLength] = {static_cast<unsigned char>(bits & 0xFF),
                                                static_cast<unsigned char>(bits >> 8)};
    std::size_t put = 0;
    while (put < sizeof bytes) {
        ssize_t n =
            ::pwrite(fd_, bytes + put, sizeof bytes - put, offset + static_cast<off_t>(put));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw StorageError(Kind::WriteFailed, path_, n < 0 ? errno : EIO);
        put += static_cast<std::size_t>(n);
    }
    written_ = true;
}

void RecordFile::Close() {
    if (fd_ < 0) return;
    int fd = std::exchange(fd_, -1);
    bool written = std::exchange(written_, false);
    if (!written) {
        ::close(fd);
        return;
    }
    int error = ::fsync(fd) != 0 ? errno : 0;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) throw StorageError(Kind::WriteFailed, path_, error);
}

RecordFile OpenForRecords(const std::string& path, int recordLength, Permissions permissions) {
    if (recordLength != kRecordLength) throw std::invalid_argument("record length must be 2");
    CheckPath(path);
    mode_t mode = permissions == Permissions::OwnerOnly ? 0600 : 0666;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) throw StorageError(Kind::CannotOpen, path, errno);
    FdGuard guard(fd);
    RegularFileStatus(fd, path);
    return RecordFile(path, guard.release());
}

RecordFile OpenRecordsForReading(const std::string& path) {
    struct stat st;
    return RecordFile(path, OpenExistingForReading(path, st));
}

} // namespace tolvana::storage
