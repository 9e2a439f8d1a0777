#pragma once

// Where the start-up password is kept. On most systems that is one pair of
// files, but on Windows there are several places where a password may have
// been set, and one that an ordinary user cannot write: this says which
// places exist, in which order they are read at start and written by the
// create-password command.

#include "storage/passwordstore.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::ui {

struct PasswordPlace {
    storage::PasswordFiles files;
    // The folder made before a password is written here; empty for none.
    std::string folder;
    // Whether the start-up lock makes a missing flag file here (empty, so no
    // password). Elsewhere a place without a flag file is passed over.
    bool createsFlag = false;
};

// Never without a place: every operation below has one to read and one to
// write.
class PasswordPlaces {
public:
    // One place, read and written, whose missing flag file is made at start;
    // `folder`, when given, is made before a password is written there.
    PasswordPlaces(storage::PasswordFiles files, // NOLINT: a single place converts
                   std::string folder = {});
    // `places` in the order they are read: the first with its flag set
    // decides. `writeOrder` indexes into `places`, in the order they are tried
    // when a password is set: the first that takes both files gets it. Throws
    // std::invalid_argument when either is empty or an index is out of range.
    PasswordPlaces(std::vector<PasswordPlace> places, std::vector<std::size_t> writeOrder);

    const std::vector<PasswordPlace>& places() const { return places_; }
    const std::vector<std::size_t>& writeOrder() const { return writeOrder_; }

private:
    std::vector<PasswordPlace> places_;
    std::vector<std::size_t> writeOrder_;
};

// The password state of the first place whose flag is set, with that place's
// files (for messages); NoPassword with the last place read when no flag is
// set anywhere.
struct FoundPassword {
    storage::PasswordState state;
    storage::PasswordFiles files;
};
FoundPassword ReadPassword(const PasswordPlaces& places);

// Stores the password in the first place of the write order that takes it,
// then removes the password files of every place read before that one, so
// that the new password is the one asked for at the next start. Each place
// is written all or nothing (storage::StorePassword). Throws
// std::invalid_argument for a password that CheckNewPassword refuses, and
// when no place takes it, what the first place tried threw (StorageError or
// PasswordNotRestored); StorageError also when an earlier place cannot be
// cleared.
void StorePassword(const PasswordPlaces& places, std::string_view password);

// Whether a password is set in any place, found without creating or changing
// any file (storage::FlagIsSet).
bool AnyPasswordSet(const PasswordPlaces& places);

// The first place in the write order: the one that the errors of
// StorePassword are about.
const PasswordPlace& FirstWritten(const PasswordPlaces& places);

// The places of this platform (passwordplaces_win.cpp, passwordplaces_posix.cpp).
PasswordPlaces DefaultPasswordPlaces();

} // namespace tolvana::ui
