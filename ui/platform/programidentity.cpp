#include "ui/platform/programidentity.h"

#include <QApplication>
#include <QDir>

namespace tolvana::ui {

QIcon ProgramIcon() {
    // Drawn at build time from the desktop's SVG (ui/CMakeLists.txt), so that
    // no image plugin for SVG is needed.
    QIcon own;
    for (const QString& file : QDir(QStringLiteral(":/icons")).entryList(QDir::Files))
        own.addFile(QStringLiteral(":/icons/") + file);
    return QIcon::fromTheme(QString::fromUtf16(kDesktopName), own);
}

void UseProgramIdentity() {
    QGuiApplication::setDesktopFileName(QString::fromUtf16(kDesktopName));
    QApplication::setWindowIcon(ProgramIcon());
}

} // namespace tolvana::ui
