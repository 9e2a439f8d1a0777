// The password files on POSIX systems: "numberone" (the flag) and "id" (the
// password) in the program's data folder, which is made, owner only, when
// missing: at start, so that the flag file can be made, and again before a
// password is written, so that a folder that could not be made then is named
// with the reason. There is no drive C: to put them in.

#include "ui/platform/passwordplaces.h"

#include "storage/storageerror.h"
#include "ui/platform/nativepath.h"

#include <QStandardPaths>

namespace tolvana::ui {

PasswordPlaces DefaultPasswordPlaces() {
    const std::string dir =
        StoragePath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    try {
        storage::EnsurePrivateFolder(dir);
    } catch (const storage::StorageError&) {
        // Reading the flag then fails too, and the program starts without a
        // password, since none can have been set.
    }
    return PasswordPlaces(storage::PasswordFiles{dir + "/numberone", dir + "/id"}, dir);
}

} // namespace tolvana::ui
