// Starts the program: the application object and the main window.

#include "ui/dialogs.h"
#include "ui/mainwindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvana"));

    tolvana::ui::QtDialogs dialogs;
    tolvana::ui::MainWindow window({dialogs});
    window.show();
    return QApplication::exec();
}
