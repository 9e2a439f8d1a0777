#pragma once

// The one error type of the file layer, the same on every platform.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tolvana::storage {

class StorageError : public std::runtime_error {
public:
    // What failed.
    enum class Kind {
        NotFound,    // opening for input a file that does not exist
        CannotOpen,  // a file or its temporary file cannot be opened or created
        PastEnd,     // ReadField with nothing left to read
        ReadFailed,  // the device failed a read
        WriteFailed, // the device failed a write, flush, close or the final replace
    };

    // Why, the same on every platform, so that the windows can say it in
    // their own words. The native code (errno, or GetLastError() on Windows)
    // is kept beside it for the reasons that have no name here.
    enum class Reason {
        None,               // nothing failed in the system (PastEnd)
        NoPermission,       // the user may not read or write the file or its folder
        DiskFull,           // no space left, or the user's disk quota is used up
        ReadOnlyFileSystem, // the file system is mounted or marked read-only
        NotFound,           // the file or a folder on its path does not exist
        IsFolder,           // the path names a folder
        TooLarge,           // the file is larger than the caller's maximum
        NotRegularFile,     // the path names a device, a pipe or a socket
        // A file that the user may write is not replaced, because replacing
        // it would not be safe: it belongs to another user (or a group the
        // user is not in) and the new version would change its owner, or its
        // folder may not be written, so no new version can be made beside it.
        OwnerNotKept,
        FolderNotWritable,
        ReceiverClosed, // a write to a pipe whose reading end has been closed
        InUse,          // another program holds the file open without sharing it, or locks it
        NotAFolder,     // a folder was to be made where a file stands; path() names the file
        Other,          // anything else; see systemCode()
    };

    StorageError(Kind kind, std::string path, Reason reason, std::int64_t systemCode = 0);

    // A file of `size` bytes that is larger than `maximum` bytes.
    static StorageError TooLarge(std::string path, std::uint64_t size, std::uint64_t maximum);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    Reason reason() const { return reason_; }
    // The native code of the failed system call; 0 when no system call failed.
    std::int64_t systemCode() const { return systemCode_; }
    // For Reason::TooLarge: the file's size and the caller's maximum, in bytes.
    std::uint64_t size() const { return size_; }
    std::uint64_t maximum() const { return maximum_; }

private:
    Kind kind_;
    std::string path_;
    Reason reason_;
    std::int64_t systemCode_;
    std::uint64_t size_ = 0;
    std::uint64_t maximum_ = 0;
};

} // namespace tolvana::storage
