#include "storage/passwordstore.h"

#include "storage/codepage.h"
#include "storage/files.h"
#include "storage/platform.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>

namespace tolvana::storage {

namespace {

constexpr std::int32_t kFlagRecord = 1;
constexpr std::int16_t kFlagSet = 1;

// A password file is a line of text; anything this large is not one.
constexpr std::uint64_t kMaxPasswordFileBytes = 1 << 20;

// A code whose character is a control character.
bool IsControlCode(char code) {
    const char16_t c = CharOfCode(static_cast<unsigned char>(code));
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// A password that could be typed into the input box: no control character,
// not too long. Quotes do not count here: a file written by hand may hold a
// password with one in its unquoted field, and that can be typed.
bool Typeable(std::string_view password) {
    return password.size() <= kMaxPasswordLength &&
           std::none_of(password.begin(), password.end(), IsControlCode);
}

// Opens the flag file, creating it when missing. A flag file that exists but
// may not be written is still read, so that a password cannot be skipped by
// taking away the write permission of its flag.
RecordFile OpenFlag(const std::string& path) {
    try {
        return OpenForRecords(path, kRecordLength, Permissions::OwnerOnly);
    } catch (const StorageError&) {
        return OpenRecordsForReading(path);
    }
}

// The flag file as it was before StorePassword, to put it back on failure.
struct FlagBefore {
    bool existed = false;
    std::uint64_t size = 0;
    std::int16_t record = 0; // record 1; bytes past the end read as 0
};

void RestoreFlag(const std::string& path, const FlagBefore& before) {
    if (!before.existed) {
        RemoveFile(path);
        return;
    }
    RecordFile flag = OpenForRecords(path, kRecordLength, Permissions::OwnerOnly);
    flag.PutRecord(kFlagRecord, before.record);
    if (before.size < kRecordLength) flag.Truncate(before.size);
    flag.Close();
}

} // namespace

namespace {

// Something at `path` that cannot hold a flag or password of this user: a
// folder, a device, a pipe, or (whatever it is) another user's.
bool Foreign(const StorageError& e, const std::string& path) {
    return e.reason() == StorageError::Reason::IsFolder ||
           e.reason() == StorageError::Reason::NotRegularFile || !platform::OwnedByUser(path);
}

// Every byte of the password file; nullopt when it is another user's.
std::optional<std::string> ReadOwnPasswordFile(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        throw StorageError(StorageError::Kind::CannotOpen, path, StorageError::Reason::Other,
                           EINVAL);
    std::uint64_t size = 0;
    platform::File file = platform::OpenForReading(path, kMaxPasswordFileBytes, size);
    if (!platform::OwnedByUser(file)) return std::nullopt;
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    char buffer[4096];
    while (std::size_t got = platform::ReadSome(file, path, buffer, sizeof buffer)) {
        if (bytes.size() + got > kMaxPasswordFileBytes)
            throw StorageError::TooLarge(path, bytes.size() + got, kMaxPasswordFileBytes);
        bytes.append(buffer, got);
    }
    return bytes;
}

} // namespace

PasswordState ReadPasswordState(const PasswordFiles& files) {
    std::int16_t flag = 0;
    try {
        RecordFile flagFile = OpenFlag(files.flagPath);
        // Another user's file says nothing about this user's password: in a
        // folder that every user may write (the root of drive C:), such a
        // file, or a folder of the same name, would otherwise lock everyone
        // else out.
        if (!flagFile.OwnedByUser()) return ForeignFlag{files.flagPath};
        flag = flagFile.GetRecord(kFlagRecord);
        flagFile.Close();
    } catch (const StorageError& e) {
        // Only where nothing is there may the program start without asking.
        if (e.kind() == StorageError::Kind::NotFound)
            return FlagUnavailable{files.flagPath, e.reason(), e.systemCode()};
        if (Foreign(e, files.flagPath)) return ForeignFlag{files.flagPath};
        return FlagUnreadable{files.flagPath, e.reason(), e.systemCode()};
    }
    if (flag <= 0) return NoPassword{};

    using Cause = PasswordMissing::Cause;
    try {
        std::optional<std::string> bytes = ReadOwnPasswordFile(files.passwordPath);
        if (!bytes) return PasswordMissing{Cause::OtherUser, files.passwordPath};
        if (bytes->empty()) return PasswordMissing{Cause::EmptyFile, files.passwordPath};
        const bool binary = bytes->find('\0') != std::string::npos;
        InputFile file = FieldsOf(std::move(*bytes), files.passwordPath);
        std::string text = file.ReadField();
        if (text.empty()) return PasswordMissing{Cause::EmptyPassword, files.passwordPath};
        // Such a password could never be given at the prompt: say so, and how
        // to remove it, rather than ask for it.
        if (binary || !Typeable(text)) return PasswordMissing{Cause::Corrupt, files.passwordPath};
        return Password{std::move(text)};
    } catch (const StorageError& e) {
        Cause cause =
            e.kind() == StorageError::Kind::NotFound ? Cause::NotFound : Cause::Unreadable;
        if (cause == Cause::Unreadable && e.reason() == StorageError::Reason::NoPermission &&
            !platform::OwnedByUser(files.passwordPath))
            cause = Cause::OtherUser;
        return PasswordMissing{cause, files.passwordPath, e.reason(), e.systemCode()};
    }
}

bool FlagIsSet(const std::string& flagPath) {
    if (!FileExists(flagPath)) return false;
    try {
        RecordFile flag = OpenRecordsForReading(flagPath);
        return flag.OwnedByUser() && flag.GetRecord(kFlagRecord) > 0;
    } catch (const StorageError& e) {
        return !Foreign(e, flagPath);
    }
}

PasswordProblem CheckNewPassword(std::string_view password) {
    if (password.empty()) return PasswordProblem::Empty;
    if (password.find('"') != std::string_view::npos) return PasswordProblem::HoldsQuote;
    if (password.size() > kMaxPasswordLength) return PasswordProblem::TooLong;
    if (!Typeable(password)) return PasswordProblem::HoldsControlCharacter;
    return PasswordProblem::None;
}

void StorePassword(const PasswordFiles& files, std::string_view password) {
    switch (CheckNewPassword(password)) {
    case PasswordProblem::None: break;
    case PasswordProblem::Empty: throw std::invalid_argument("empty password");
    case PasswordProblem::HoldsQuote: throw std::invalid_argument("password holds a double quote");
    case PasswordProblem::HoldsControlCharacter:
        throw std::invalid_argument("password holds a control character");
    case PasswordProblem::TooLong: throw std::invalid_argument("password too long");
    }

    // Another user's files are never replaced, also where this user may write
    // them (a file in the root of drive C: may inherit such rights): that
    // would take away that user's password, or put one on them.
    for (const std::string* path : {&files.passwordPath, &files.flagPath})
        if (FileExists(*path) && !platform::OwnedByUser(*path))
            throw StorageError(StorageError::Kind::CannotOpen, *path,
                               StorageError::Reason::OwnerNotKept);

    // The new password file, complete on disk but not yet in place.
    OutputFile passwordFile = OpenForOutput(files.passwordPath, Permissions::OwnerOnly);
    passwordFile.WriteField(password);

    FlagBefore before;
    before.existed = FileExists(files.flagPath);
    RecordFile flag = [&] {
        try {
            return OpenForRecords(files.flagPath, kRecordLength, Permissions::OwnerOnly);
        } catch (const StorageError&) {
            if (!before.existed) {
                try {
                    RemoveFile(files.flagPath);
                } catch (const StorageError&) {
                }
            }
            throw;
        }
    }();
    bool touched = !before.existed; // whether the flag file differs from before
    try {
        before.size = flag.Size();
        before.record = flag.GetRecord(kFlagRecord);
        touched = true;
        flag.PutRecord(kFlagRecord, kFlagSet);
        flag.Close();
        passwordFile.Close(); // the new password takes the old one's place
    } catch (const StorageError& e) {
        { RecordFile unused = std::move(flag); } // released, without a word
        try {
            if (touched) RestoreFlag(files.flagPath, before);
        } catch (const StorageError& restore) {
            throw PasswordNotRestored(restore, e);
        }
        throw;
    }
}

void EnsurePrivateFolder(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos)
        throw StorageError(StorageError::Kind::CannotOpen, path, StorageError::Reason::Other,
                           EINVAL);
    platform::MakePrivateFolder(path);
}

} // namespace tolvana::storage
