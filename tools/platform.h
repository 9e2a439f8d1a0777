#pragma once

// What the tool needs of the system: whole files in memory, the standard
// streams without any translation of line ends, and a second thread. One file
// per platform: platform_posix.cpp and platform_win.cpp.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tolvana::tool {

// The bytes of a whole file: mapped into memory where the platform can (no
// copy, no zeroed buffer to fill), read into memory otherwise. Throws
// storage::StorageError as storage::ReadFileBytes does, also for a file
// larger than `maximum` bytes.
class FileBytes {
public:
    FileBytes(const std::string& path, std::uint64_t maximum);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    std::string_view view() const { return mapped_ ? std::string_view(mapped_, size_) : copy_; }

private:
    const char* mapped_ = nullptr;
    std::size_t size_ = 0;
    std::string copy_;
};

// Puts standard input and output in binary mode where the platform has another.
void UseBinaryStandardStreams();

// Reads `fd` to its end into `bytes`. Returns 0, or the system's error code;
// more than `maximum` bytes is EFBIG.
int ReadAll(int fd, std::string& bytes, std::size_t maximum);

// Writes all of `bytes` to `fd`. Returns 0, or the system's error code.
int WriteAll(int fd, std::string_view bytes);

// Runs `first` and `second` at the same time where there is a processor for
// each, one after the other otherwise, and returns when both have ended.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second);

} // namespace tolvana::tool
