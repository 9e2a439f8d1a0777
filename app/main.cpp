// Starts the program: the command line, the application object, the start-up
// lock and the main window with the files named on the command line.

#include "storage/platform.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms/commandline.h"
#include "ui/forms/startup.h"
#include "ui/platform/nativepath.h"
#include "ui/platform/systemlook.h"
#include "ui/texts/designfont.h"
#include "ui/texts/translations.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // The whole command line is read before Qt looks for a display, so that
    // --help, --version and a mistake are answered without one.
    using tolvana::ui::CommandLine;
    const CommandLine line =
        tolvana::ui::ParseCommandLine(tolvana::ui::ProgramArguments(argc, argv));
    if (line.action != CommandLine::Action::Run) {
        const bool refused = line.action == CommandLine::Action::Refuse;
        std::fputs(line.text.toLocal8Bit().constData(), refused ? stderr : stdout);
        return refused ? 2 : 0;
    }

    tolvana::storage::platform::GuardProcess();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvana"));
    tolvana::ui::FollowSystemLook(tolvana::ui::ReadSystemLook());
    tolvana::ui::UseProgramFont();
    tolvana::ui::InstallSwedishTranslations(app);

    tolvana::ui::QtDialogs dialogs;
    tolvana::ui::Services services{dialogs, tolvana::ui::DefaultPasswordPlaces()};
    std::unique_ptr<tolvana::ui::MainWindow> window =
        tolvana::ui::StartProgram(std::move(services), line.files);
    if (!window) return 0;
    return QApplication::exec();
}
