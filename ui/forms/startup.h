#pragma once

// Starting the program: where the password files live, the start-up lock that
// runs before the main window is ever shown, and the main window itself.

#include "storage/passwordstore.h"
#include "ui/forms/mainwindow.h"
#include "ui/platform/passwordplaces.h"

#include <memory>

namespace tolvana::ui {

// Asks for the password when one is set. Returns false when the program must
// end: the user gave up, or the password cannot be read.
bool RunStartupLock(Dialogs& dialogs, const PasswordPlaces& places);

// Runs the start-up lock, then builds and shows the main window and opens
// `files` in it, in order, as MainWindow::openPath() does. Returns nothing,
// and shows no window and opens no file, when the program must end.
std::unique_ptr<MainWindow> StartProgram(Services services, const QStringList& files = {});

} // namespace tolvana::ui
