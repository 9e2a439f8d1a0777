// The password files on Windows.
//
// Every copy of the program keeps them in the root of drive C: as
// "c:\numberone" (the flag) and "c:\id" (the password). Two things stand in the
// way on current Windows: an ordinary user may not create files there, and
// for an older 32-bit program without a manifest Windows silently redirected
// those writes to the user's "%LOCALAPPDATA%\VirtualStore". So three places
// are known:
//
//   own:     %LOCALAPPDATA%\Tolvana\numberone and \id (where this program
//            writes when c:\ cannot be written)
//   virtual: %LOCALAPPDATA%\VirtualStore\numberone and \id (an older copy's
//            redirected files)
//   root:    c:\numberone and c:\id
//
// At start they are read in that order, and the first whose flag is set
// decides. The own place comes first because this program writes there only
// when root could not be written, so it holds the newest password of this
// user; the redirected copy comes before root because that is what the older
// copy itself read (redirection shows the user's copy over the real file).
// Only root gets an empty flag file made at start.
//
// A new password goes to root when it can be written, else to the own place.
// After a write to root, the own and redirected files are removed, so the new
// password is the one asked for at the next start, by this program and by an
// older copy alike.

#include "ui/platform/passwordplaces.h"

#include "ui/platform/nativepath.h"

#include <QDir>
#include <QStandardPaths>

namespace tolvana::ui {

PasswordPlaces DefaultPasswordPlaces() {
    // On Windows the generic data location is %LOCALAPPDATA%.
    QString local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (local.isEmpty()) local = qEnvironmentVariable("LOCALAPPDATA");
    const auto place = [](const QString& folder, bool createsFlag) {
        const std::string dir = StoragePath(QDir::toNativeSeparators(folder));
        const std::string prefix = dir.empty() || dir.back() == '\\' ? dir : dir + '\\';
        return PasswordPlace{{prefix + "numberone", prefix + "id"}, dir, createsFlag};
    };

    std::vector<PasswordPlace> places;
    if (!local.isEmpty()) {
        places.push_back(place(local + QStringLiteral("/Tolvana"), false));
        places.push_back(place(local + QStringLiteral("/VirtualStore"), false));
        places.back().folder.clear(); // never written: Windows' own folder
    }
    places.push_back({{"c:\\numberone", "c:\\id"}, {}, true});
    std::vector<std::size_t> writeOrder = {places.size() - 1};
    if (!local.isEmpty()) writeOrder.push_back(0);
    return PasswordPlaces(std::move(places), std::move(writeOrder));
}

} // namespace tolvana::ui
