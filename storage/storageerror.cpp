#include "storage/storageerror.h"

#include <utility>

namespace tolvana::storage {
namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

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

const char* ReasonText(Reason reason) {
    switch (reason) {
    case Reason::None: return "";
    case Reason::NoPermission: return "no permission";
    case Reason::DiskFull: return "disk full";
    case Reason::ReadOnlyFileSystem: return "read-only file system";
    case Reason::NotFound: return "not found";
    case Reason::IsFolder: return "is a folder";
    case Reason::TooLarge: return "too large";
    case Reason::NotRegularFile: return "not a regular file";
    case Reason::OwnerNotKept: return "the owner could not be kept";
    case Reason::FolderNotWritable: return "the folder cannot be written";
    case Reason::ReceiverClosed: return "the receiver has closed";
    case Reason::BrokenLink: return "a link to nothing";
    case Reason::NameTooLong: return "name too long";
    case Reason::TooManyLinks: return "too many levels of links";
    case Reason::NotAFolder: return "not a folder";
    case Reason::FileSizeLimit: return "file size limit";
    case Reason::InUse: return "in use";
    case Reason::TooManyOpen: return "too many open files";
    case Reason::DeviceError: return "I/O error";
    case Reason::Interrupted: return "interrupted";
    case Reason::OutOfMemory: return "out of memory";
    case Reason::Busy: return "busy for now";
    case Reason::NotSupported: return "not supported";
    case Reason::OtherFileSystem: return "another file system";
    case Reason::AlreadyExists: return "already exists";
    case Reason::FolderNotEmpty: return "folder not empty";
    case Reason::LinkLimit: return "too many hard links";
    case Reason::StaleFile: return "stale file handle";
    case Reason::NoDevice: return "no such device";
    case Reason::HasOtherNames: return "the file has other names";
    case Reason::AclNotKept: return "the ACL could not be kept";
    case Reason::ProgramFault: return "program fault";
    case Reason::Other: return "system error";
    }
    return "system error";
}

// English, for logs and test output; the windows say it in their own words.
std::string Describe(Kind kind, const std::string& path, Reason reason, std::int64_t code) {
    std::string text = std::string(KindText(kind)) + " \"" + path + "\"";
    if (reason != Reason::None) text += std::string(": ") + ReasonText(reason);
    if (code != 0) text += " (system code " + std::to_string(code) + ")";
    return text;
}

} // namespace

StorageError::StorageError(Kind kind, std::string path, Reason reason, std::int64_t systemCode)
    : std::runtime_error(Describe(kind, path, reason, systemCode)), kind_(kind),
      path_(std::move(path)), reason_(reason), systemCode_(systemCode) {}

StorageError StorageError::TooLarge(std::string path, std::uint64_t size, std::uint64_t maximum) {
    StorageError error(Kind::CannotOpen, std::move(path), Reason::TooLarge);
    error.size_ = size;
    error.maximum_ = maximum;
    return error;
}

StorageError StorageError::FileInTheWay(Kind kind, std::string file, std::int64_t systemCode) {
    StorageError error(kind, file, Reason::NotAFolder, systemCode);
    error.detail_ = std::move(file);
    return error;
}

StorageError StorageError::BrokenLink(Kind kind, std::string path, std::string target) {
    StorageError error(kind, std::move(path), Reason::BrokenLink, 2 /* ENOENT */);
    error.detail_ = std::move(target);
    return error;
}

} // namespace tolvana::storage
