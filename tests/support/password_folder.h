#pragma once

// A folder of its own for the password files of a window that a test makes,
// so that no test reads or writes the user's own password.

#include "ui/platform/nativepath.h"
#include "ui/platform/passwordplaces.h"

#include <QTemporaryDir>

namespace tolvana::testing {

class PasswordFolder {
public:
    ui::PasswordPlaces places() const {
        return storage::PasswordFiles{path("numberone"), path("id")};
    }

private:
    std::string path(const char* name) const {
        return ui::StoragePath(dir_.filePath(QString::fromLatin1(name)));
    }

    QTemporaryDir dir_;
};

} // namespace tolvana::testing
