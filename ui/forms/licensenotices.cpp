#include "ui/forms/buildinfo.h"

#include <QDir>
#include <QFile>

namespace tolvana::ui {

QString LicenseNotices() {
    const QDir dir(QStringLiteral(":/licenses"));
    QString notices;
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue; // a resource always opens
        QString text = QString::fromUtf8(file.readAll());
        if (!text.endsWith(u'\n')) text += u'\n';
        if (!notices.isEmpty()) notices += u'\n';
        notices += text;
    }
    return notices;
}

} // namespace tolvana::ui
