// Starts the program: the command line, the application object, the start-up
// lock and the main window with the files named on the command line.

#include "storage/platform.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms/commandline.h"
#include "ui/forms/startup.h"
#include "ui/platform/nativepath.h"
#include "ui/platform/systemlook.h"
#include "ui/platform/programidentity.h"
#include "ui/platform/running.h"
#include "ui/texts/designfont.h"
#include "ui/texts/translations.h"

#include "messages/messages.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// How many of the arguments Qt may see: those before "--". After it every
// argument is a file name, also one that looks like Qt's own option (a file
// named "-display" would otherwise be taken as the display to open).
int QtArgumentCount(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--") == 0) return i;
    return argc;
}

QtMessageHandler qtHandler = nullptr;

// Qt ends the program with abort() when it cannot start its window system, as
// when no display can be opened. Say so in the program's words and end with
// status 1 instead; Qt's warnings before it (which display it tried) are
// printed as Qt prints them.
void EndWhereQtWouldAbort(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (qtHandler) qtHandler(type, context, text);
        return;
    }
    std::fprintf(stderr, "tolvana: %s\n", tolvana::messages::NoDisplay().c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // First of all, so that setup and uninstall see the program from its
    // first moment, the start-up password's prompt included.
    tolvana::ui::MarkRunning();
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
    // Qt reads its options from the arguments it is given and keeps the
    // count; it must outlive the application.
    static int qtArgc = QtArgumentCount(argc, argv);
    qtHandler = qInstallMessageHandler(EndWhereQtWouldAbort);
    QApplication app(qtArgc, argv);
    qInstallMessageHandler(qtHandler);
    QApplication::setApplicationName(QStringLiteral("Tolvana"));
    tolvana::ui::UseProgramIdentity();
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
