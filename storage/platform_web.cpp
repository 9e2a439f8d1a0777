// The file system of a web page: none. See storage/platform_web.h.

#include "storage/platform_web.h"
#include "storage/platform.h"

#include <cerrno>
#include <map>
#include <stdexcept>
#include <utility>

namespace tolvana::storage::platform {
namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

// Files written and closed, by path, until the page takes them.
std::map<std::string, std::string>& WrittenFiles() {
    static std::map<std::string, std::string> files;
    return files;
}

[[noreturn]] void NoFileSystem(Kind kind, const std::string& path) {
    throw StorageError(kind, path, Reason::Other, ENOSYS);
}

// A new version of a file, collected in memory and kept when committed.
class MemoryReplacement : public Replacement {
public:
    explicit MemoryReplacement(std::string path) : path_(std::move(path)) {}

    void Write(std::string_view bytes) override {
        if (done_) throw std::logic_error("Write after Commit");
        bytes_ += bytes;
    }

    void Commit() override {
        if (done_) return;
        done_ = true;
        WrittenFiles()[path_] = std::move(bytes_);
    }

private:
    std::string path_;
    std::string bytes_;
    bool done_ = false;
};

} // namespace

std::optional<std::string> TakeWrittenFile(const std::string& path) {
    auto& files = WrittenFiles();
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    std::string bytes = std::move(it->second);
    files.erase(it);
    return bytes;
}

void CloseQuietly(Handle) noexcept {}

std::string ReadWholeFile(const std::string& path, std::uint64_t) {
    NoFileSystem(Kind::NotFound, path);
}

std::unique_ptr<Replacement> BeginReplacement(const std::string& path, Permissions) {
    return std::make_unique<MemoryReplacement>(path);
}

File OpenRecordFile(const std::string& path, RecordAccess, Permissions) {
    NoFileSystem(Kind::CannotOpen, path);
}

std::size_t ReadAt(const File&, std::uint64_t, char*, std::size_t, const std::string& path) {
    NoFileSystem(Kind::ReadFailed, path);
}

void WriteAt(const File&, std::uint64_t, const char*, std::size_t, const std::string& path) {
    NoFileSystem(Kind::WriteFailed, path);
}

std::uint64_t SizeOf(const File&, const std::string& path) { NoFileSystem(Kind::ReadFailed, path); }

void Truncate(const File&, std::uint64_t, const std::string& path) {
    NoFileSystem(Kind::WriteFailed, path);
}

void SyncAndClose(File& file, const std::string& path) {
    file.reset();
    NoFileSystem(Kind::WriteFailed, path);
}

void GuardProcess() {}
bool SameFile(const std::string&, const std::string&) { return false; }
bool SameFile(int, const std::string&) { return false; }

bool Exists(const std::string& path) { return WrittenFiles().count(path) != 0; }

void RemoveFile(const std::string& path) { WrittenFiles().erase(path); }

void MakePrivateFolder(const std::string& path) { NoFileSystem(Kind::CannotOpen, path); }

} // namespace tolvana::storage::platform
