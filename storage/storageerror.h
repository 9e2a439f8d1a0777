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
        // The reasons below name what the system reported in its own terms.
        BrokenLink,      // a symbolic link whose file does not exist; see detail()
        NameTooLong,     // a name, or the whole path, is longer than the system allows
        TooManyLinks,    // links that lead to links too many times, or in a circle
        NotAFolder,      // a part of the path that should be a folder is a file; where a
                         // folder was to be made, path() names that file
        FileSizeLimit,   // the file would grow past the size the system allows the user
        InUse,           // the file is busy: a running program or another process holds it
        TooManyOpen,     // the process or the system has too many files open
        DeviceError,     // the device failed to read or write (an I/O error)
        Interrupted,     // the call was interrupted and could not be completed
        OutOfMemory,     // the system had no memory for the call
        Busy,            // a resource is busy for now; it may work later
        NotSupported,    // the file system does not support what was asked, or the name
        OtherFileSystem, // the new version and the file lie on different file systems
        AlreadyExists,   // a file of that name came into being meanwhile
        FolderNotEmpty,  // a folder is not empty
        LinkLimit,       // the file has as many names (hard links) as it may have
        StaleFile,       // a network file system's file vanished on the server
        NoDevice,        // the device or its driver is not there (a removed disk)
        HasOtherNames,   // the file has more names (hard links) that a save would split off
        AclNotKept,      // the file's access list (ACL) could not be given to the new version
        ProgramFault,    // the program passed the system something wrong (a bug)
        Other,           // anything else; see systemCode()
    };

    StorageError(Kind kind, std::string path, Reason reason, std::int64_t systemCode = 0);

    // A file of `size` bytes that is larger than `maximum` bytes.
    static StorageError TooLarge(std::string path, std::uint64_t size, std::uint64_t maximum);

    // A symbolic link `path` that points at `target`, where nothing is.
    static StorageError BrokenLink(Kind kind, std::string path, std::string target);

    // A file `file` where a folder was to be made: NotAFolder, naming it.
    static StorageError FileInTheWay(Kind kind, std::string file, std::int64_t systemCode);

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    Reason reason() const { return reason_; }
    // The native code of the failed system call; 0 when no system call failed.
    std::int64_t systemCode() const { return systemCode_; }
    // For Reason::TooLarge: the file's size and the caller's maximum, in bytes.
    std::uint64_t size() const { return size_; }
    std::uint64_t maximum() const { return maximum_; }
    // For Reason::BrokenLink: where the link points, as the system's bytes;
    // for a file in the way of a folder (FileInTheWay): that file.
    const std::string& detail() const { return detail_; }

private:
    Kind kind_;
    std::string path_;
    Reason reason_;
    std::int64_t systemCode_;
    std::uint64_t size_ = 0;
    std::uint64_t maximum_ = 0;
    std::string detail_;
};

} // namespace tolvana::storage
