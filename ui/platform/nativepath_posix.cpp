// Paths between Qt and the file layer on POSIX systems: bytes in the file
// system's own encoding, as QFile converts them.

#include "ui/platform/nativepath.h"

#include <QFile>

namespace tolvana::ui {

QString PathForDisplay(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string StoragePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

} // namespace tolvana::ui
