#pragma once

// The program's command line: files to open, or a request for the help text
// or the version.
//
//   tolvana [FIL...]
//
// A ".crp" file opens as "Öppna en krypterad fil" opens it, a ".txt" file is
// imported as "Öppna fil för tolvana" imports it.

#include <QString>
#include <QStringList>

namespace tolvana::ui {

struct CommandLine {
    enum class Action {
        Run,    // start the program and open `files`
        Print,  // print `text` on standard output and end
        Refuse, // print `text` on standard error and end with a failure
    };

    Action action = Action::Run;
    QStringList files;
    QString text;
};

// `arguments` as QCoreApplication::arguments() gives them: the program's name
// first, Qt's own options already taken out.
CommandLine ParseCommandLine(const QStringList& arguments);

} // namespace tolvana::ui
