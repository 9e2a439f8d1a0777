// Starts the program: the application object, the command line, the start-up
// lock and the main window with the files named on the command line.

#include "ui/dialogs/dialogs.h"
#include "ui/forms/commandline.h"
#include "ui/forms/startup.h"
#include "ui/texts/designfont.h"
#include "ui/texts/translations.h"

#include <QApplication>

#include <cstdio>

namespace {

using tolvana::ui::CommandLine;

// Prints what the command line asked for or why it is refused; false when the
// program is to run.
bool Answered(const CommandLine& line, int& status) {
    if (line.action == CommandLine::Action::Run) return false;
    const bool refused = line.action == CommandLine::Action::Refuse;
    std::fputs(line.text.toLocal8Bit().constData(), refused ? stderr : stdout);
    status = refused ? 2 : 0;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // --help and --version need no display: answer them before Qt looks for one.
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    int status = 0;
    if (const CommandLine early = tolvana::ui::ParseCommandLine(raw);
        early.action == CommandLine::Action::Print && Answered(early, status))
        return status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvana"));
    // Now without the options that Qt took for itself, such as -platform.
    const CommandLine line = tolvana::ui::ParseCommandLine(QCoreApplication::arguments());
    if (Answered(line, status)) return status;
    tolvana::ui::UseDesignFont();
    tolvana::ui::InstallSwedishTranslations(app);

    tolvana::ui::QtDialogs dialogs;
    tolvana::ui::Services services{dialogs, tolvana::ui::DefaultPasswordPlaces()};
    std::unique_ptr<tolvana::ui::MainWindow> window =
        tolvana::ui::StartProgram(std::move(services), line.files);
    if (!window) return 0;
    return QApplication::exec();
}
