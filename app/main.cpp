// Starts the program: the application object, the start-up lock and the main
// window.

#include "ui/dialogs.h"
#include "ui/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvana"));

    tolvana::ui::QtDialogs dialogs;
    tolvana::ui::Services services{dialogs};
    services.passwordFiles = tolvana::ui::DefaultPasswordPlaces();
    std::unique_ptr<tolvana::ui::MainWindow> window =
        tolvana::ui::StartProgram(std::move(services));
    if (!window) return 0;
    return QApplication::exec();
}
