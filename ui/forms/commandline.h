#pragma once

// The program's command line: files to open, or a request for the help text
// or the version.
//
//   tolvana [FIL...]
//
// A ".crp" file opens as "Öppna en krypterad fil" opens it, a ".txt" file is
// imported as "Öppna fil för tolvana" imports it. A file may also be given as
// a file URL ("file:///tmp/x.crp"), as file managers pass them.
//
// The whole command line is read before Qt is started, so that a mistake in
// it is told and the program ends without a display; Qt's own options (such
// as -platform or -style) are left to Qt.

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace tolvana::ui {

struct CommandLine {
    enum class Action {
        Run,    // start the program and open `files`
        Print,  // print `text` on standard output and end
        Refuse, // print `text` on standard error and end with a failure
    };

    Action action = Action::Run;
    // As given, each held exactly (QtPath): a path or an address that
    // MainWindow::openPath() makes sense of.
    QStringList files;
    QString text;
};

// `arguments` as the file layer's bytes (ProgramArguments()), the program's
// name first, Qt's options included.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

} // namespace tolvana::ui
