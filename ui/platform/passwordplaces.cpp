#include "ui/platform/passwordplaces.h"

#include "storage/files.h"

#include <exception>

namespace tolvana::ui {

using storage::StorageError;

PasswordPlaces::PasswordPlaces(storage::PasswordFiles files, std::string folder)
    : places_{{std::move(files), std::move(folder), true}}, writeOrder_{0} {}

PasswordPlaces::PasswordPlaces(std::vector<PasswordPlace> places,
                               std::vector<std::size_t> writeOrder)
    : places_(std::move(places)), writeOrder_(std::move(writeOrder)) {
    if (places_.empty() || writeOrder_.empty())
        throw std::invalid_argument("password places: none to read or none to write");
    for (std::size_t index : writeOrder_)
        if (index >= places_.size())
            throw std::invalid_argument("password places: a write order past the places");
}

FoundPassword ReadPassword(const PasswordPlaces& places) {
    FoundPassword found{storage::NoPassword{}, {}};
    for (const PasswordPlace& place : places.places()) {
        found.files = place.files;
        // Reading a place creates its missing flag file; only the places that
        // should have one get it.
        if (!place.createsFlag && !storage::FileExists(place.files.flagPath)) continue;
        storage::PasswordState state = storage::ReadPasswordState(place.files);
        // No flag set, no flag file to hold one, or none of this user's: the
        // next place decides.
        if (!std::holds_alternative<storage::NoPassword>(state) &&
            !std::holds_alternative<storage::FlagUnavailable>(state) &&
            !std::holds_alternative<storage::ForeignFlag>(state)) {
            found.state = std::move(state);
            return found;
        }
    }
    return found;
}

namespace {

// Makes the folder of a place, for the user alone; the error says why not.
void MakeFolder(const std::string& folder) {
    if (!folder.empty()) storage::EnsurePrivateFolder(folder);
}

} // namespace

void StorePassword(const PasswordPlaces& places, std::string_view password) {
    std::exception_ptr first;
    for (std::size_t index : places.writeOrder()) {
        const PasswordPlace& place = places.places()[index];
        try {
            MakeFolder(place.folder);
            storage::StorePassword(place.files, password);
        } catch (const StorageError&) {
            if (!first) first = std::current_exception();
            continue;
        }
        for (std::size_t earlier = 0; earlier < index; ++earlier) {
            // The flag first: without it the place is passed over at start.
            storage::RemoveFile(places.places()[earlier].files.flagPath);
            storage::RemoveFile(places.places()[earlier].files.passwordPath);
        }
        return;
    }
    std::rethrow_exception(first); // there is always a place to write
}

bool AnyPasswordSet(const PasswordPlaces& places) {
    for (const PasswordPlace& place : places.places())
        if (storage::FlagIsSet(place.files.flagPath)) return true;
    return false;
}

const PasswordPlace& FirstWritten(const PasswordPlaces& places) {
    return places.places()[places.writeOrder().front()];
}

} // namespace tolvana::ui
