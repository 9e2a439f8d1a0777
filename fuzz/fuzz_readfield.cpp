// ReadField and AtEnd over arbitrary file contents. Reading field after field
// until AtEnd always ends, every call consumes at least one byte, and the
// fields never hold more bytes than the file: each field is a run of the
// file's bytes, found in order. Reading past the end is refused.

#include "fuzz/check.h"
#include "storage/files.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

using tolvana::fuzz::PrintBytes;
using tolvana::storage::StorageError;

namespace {

// One file per process, rewritten for every input.
std::string& FilePath() {
    static std::string path;
    return path;
}

void RemoveFile() {
    if (!FilePath().empty()) ::unlink(FilePath().c_str());
}

// Overwrites the file in place and then cuts it to size. (Truncating it to
// nothing first would make ext4 flush it to disk at every close.)
void WriteFile(std::string_view bytes) {
    const int fd = ::open(FilePath().c_str(), O_WRONLY | O_CLOEXEC);
    TOLVANA_CHECK(fd >= 0);
    std::size_t put = 0;
    while (put < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + put, bytes.size() - put, static_cast<off_t>(put));
        TOLVANA_CHECK(n > 0);
        put += static_cast<std::size_t>(n);
    }
    TOLVANA_CHECK(::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0);
    TOLVANA_CHECK(::close(fd) == 0);
}

} // namespace

// The file lives in TMPDIR, or else in memory (/dev/shm) when there is one.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    if (!(tmpdir && *tmpdir) && ::access("/dev/shm", W_OK) == 0) folder = "/dev/shm";
    std::string name = folder + "/fuzz_readfield-XXXXXX";
    const int fd = ::mkstemp(name.data());
    TOLVANA_CHECK(fd >= 0);
    ::close(fd);
    FilePath() = name;
    std::atexit(RemoveFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WriteFile(bytes);

    tolvana::storage::InputFile file =
        tolvana::storage::OpenForInput(FilePath(), std::uint64_t{1} << 32);
    TOLVANA_CHECK(file.AtEnd() == (size == 0));

    // A call consumes its field's bytes and at least one byte, so the sum of
    // max(1, field size) over all calls can never pass the file's size.
    std::size_t consumed = 0, calls = 0, found = 0;
    while (!file.AtEnd()) {
        const std::string field = file.ReadField();
        ++calls;
        consumed += field.empty() ? 1 : field.size();
        if (consumed > size || calls > size) {
            PrintBytes("file", bytes);
            PrintBytes("last field", field);
            TOLVANA_CHECK(!"ReadField consumes at least one byte and no more than the file holds");
        }
        const std::size_t at = bytes.find(field, found);
        if (at == std::string_view::npos) {
            PrintBytes("file", bytes);
            PrintBytes("field", field);
            TOLVANA_CHECK(!"every field is a run of the file's bytes, in order");
        }
        found = at + field.size();
    }

    bool refused = false;
    try {
        file.ReadField();
    } catch (const StorageError& e) {
        refused = e.kind() == StorageError::Kind::PastEnd;
    }
    TOLVANA_CHECK(refused);
    file.Close();
    return 0;
}
