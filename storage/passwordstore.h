#pragma once

// The start-up password: a flag file (record file, record 1 greater than 0
// means a password is set) and a password file (field file, the password as
// its first field, in plain text). This is the file logic only; the prompts
// and messages belong to the windows.

#include "storage/storageerror.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tolvana::storage {

struct PasswordFiles {
    std::string flagPath;
    std::string passwordPath;
};

// No password is set: the flag is 0, negative, or the flag file is empty.
struct NoPassword {};

// A password is set; `text` is the first field of the password file.
struct Password {
    std::string text;
};

// The flag is set but no usable password can be read, so the program cannot
// be unlocked until the flag file is removed.
struct PasswordMissing {
    enum class Cause {
        NotFound,      // the password file does not exist
        Unreadable,    // it cannot be opened or read; `reason` says why
        EmptyFile,     // it holds 0 bytes
        EmptyPassword, // its first field is empty
        // Its first field is no password anyone can type: it holds a control
        // character or is longer than kMaxPasswordLength, or the file holds a
        // NUL byte (a binary file, not a line of text).
        Corrupt,
        // It belongs to another user: whatever it holds, it is not this
        // user's password.
        OtherUser,
    };
    Cause cause;
    std::string path; // the password file
    // Why the file could not be opened or read (NotFound and Unreadable).
    StorageError::Reason reason = StorageError::Reason::None;
    std::int64_t systemCode = 0;
};

// No flag file exists and none can be created (a missing or read-only
// folder), so no password can have been set through it.
struct FlagUnavailable {
    std::string path;
    StorageError::Reason reason = StorageError::Reason::None;
    std::int64_t systemCode = 0;
};

// Something exists where the flag file belongs but cannot be read (no read
// permission, a folder, a pipe, a device, a failing disk). Whether a password
// is set cannot be known, so the program must not start.
struct FlagUnreadable {
    std::string path;
    StorageError::Reason reason = StorageError::Reason::None;
    std::int64_t systemCode = 0;
};

// What stands where the flag file belongs is no flag of this user: a folder,
// a device or pipe, or another user's file. It says nothing about this user's
// password, so it neither asks for one nor ends the program: a folder of that
// name, or a flag that only its owner may read, in a folder that every user
// may write, must not lock the others out.
struct ForeignFlag {
    std::string path;
};

using PasswordState = std::variant<NoPassword, Password, PasswordMissing, FlagUnavailable,
                                   FlagUnreadable, ForeignFlag>;

// Reads the flag and, when it is set, the password. A missing flag file is
// created empty (0600); the password file is only opened when the flag is set.
// Only the user's own files count: a flag file of another user, or one that
// is no regular file, is ForeignFlag; a password file of another user is
// PasswordMissing(OtherUser). A flag file of the user's own that cannot be
// opened for writing is read as it is; one that cannot be read either is
// FlagUnreadable, never NoPassword.
// Throws nothing for these cases; only running out of memory escapes.
PasswordState ReadPasswordState(const PasswordFiles& files);

// Whether the flag file says that a password is set, read without creating or
// changing anything: false when it is missing, empty or not above 0, or not a
// regular file of this user. A flag file of the user's own that cannot be
// read counts as set, since a password may be.
bool FlagIsSet(const std::string& flagPath);

// A failed StorePassword that could not put the flag file back either: the
// StorageError itself says why the flag file could not be restored, cause()
// what failed first.
class PasswordNotRestored : public StorageError {
public:
    PasswordNotRestored(const StorageError& restore, const StorageError& cause)
        : StorageError(restore), cause_(cause) {}
    const StorageError& cause() const { return cause_; }

private:
    StorageError cause_;
};

// The longest password: what the program's input box takes (Qt's line edit
// holds at most 32,767 characters).
inline constexpr std::size_t kMaxPasswordLength = 32767;

enum class PasswordProblem {
    None,
    Empty,      // an empty password would lock the user out for good
    HoldsQuote, // only the part before a double quote could ever be read back
    // A control character (codes 0-31, 127 and the code page's 0x81, 0x8D,
    // 0x8F, 0x90 and 0x9D) or more than kMaxPasswordLength characters: no one
    // could type it at the next start, and the password file would be read
    // as corrupt.
    HoldsControlCharacter,
    TooLong,
};

// Whether `password` can be stored and read back whole. The caller also checks
// that every character has a code page code before turning it into bytes.
PasswordProblem CheckNewPassword(std::string_view password);

// Stores `password` and sets the flag, all or nothing: either both files hold
// the new state, or both are exactly as they were (content, size, permissions;
// a flag file that did not exist does not exist afterwards).
//
// The new password file is written completely (0600) and flushed to disk
// beside the old one before the flag is touched; then record 1 of the flag
// file is set to 1 (created 0600 when missing; bytes after the first two are
// kept) and flushed; only then does the new password file take the old one's
// place. When the flag cannot be opened or written, or that last step fails,
// the flag file is put back as it was and the old password file was never
// touched.
//
// An existing flag or password file of another user is never replaced: that
// throws StorageError(CannotOpen, OwnerNotKept) naming it, before any file is
// touched. A password that CheckNewPassword refuses throws
// std::invalid_argument and touches no file. A failure throws StorageError naming the file and
// reason; when even putting the flag file back fails, PasswordNotRestored is thrown instead.
void StorePassword(const PasswordFiles& files, std::string_view password);

// Makes the folder `path` and any missing parents with permissions 0700. An
// existing folder is left as it is. Throws StorageError(CannotOpen) when a
// folder cannot be made; for a file in the way, with Reason NotAFolder naming
// that file.
void EnsurePrivateFolder(const std::string& path);

} // namespace tolvana::storage
