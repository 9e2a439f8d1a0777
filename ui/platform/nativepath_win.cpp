// Paths between Qt and the file layer on Windows: the file layer takes UTF-8
// and turns it into the wide characters of the Win32 calls, so no name is
// limited to the ANSI code page.

#include "ui/platform/nativepath.h"

namespace tolvana::ui {

QString PathForDisplay(const std::string& path) { return QString::fromUtf8(path); }

std::string StoragePath(const QString& path) { return path.toUtf8().toStdString(); }

} // namespace tolvana::ui
