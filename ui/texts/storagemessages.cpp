#include "ui/texts/storagemessages.h"

#include <QFile>
#include <QLocale>

namespace tolvana::ui {

using Reason = storage::StorageError::Reason;

QString ReadableSize(std::uint64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024) return QStringLiteral("%1 byte").arg(bytes);
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit + 1 < static_cast<int>(std::size(kUnits))) {
        value /= 1024;
        ++unit;
    }
    // One decimal below 10 where it says something, whole numbers above.
    const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
    const int decimals = value < 10 && static_cast<std::uint64_t>(value * 10) % 10 != 0 ? 1 : 0;
    QString number = swedish.toString(value, 'f', decimals);
    number.replace(QChar(0xA0), u' ');
    return number + u' ' + QString::fromLatin1(kUnits[unit]);
}

QString StorageReason(Reason reason, std::int64_t systemCode) {
    switch (reason) {
    case Reason::NoPermission: return QStringLiteral("behörighet saknas");
    case Reason::DiskFull: return QStringLiteral("disken är full");
    case Reason::ReadOnlyFileSystem: return QStringLiteral("filsystemet är skrivskyddat");
    case Reason::NotFound: return QStringLiteral("filen eller mappen finns inte");
    case Reason::IsFolder: return QStringLiteral("det är en mapp");
    case Reason::TooLarge: return QStringLiteral("filen är för stor");
    case Reason::NotRegularFile: return QStringLiteral("det är ingen vanlig fil");
    case Reason::None:
    case Reason::Other: break;
    }
    return QStringLiteral("systemfel %1").arg(systemCode);
}

QString StorageReason(const storage::StorageError& error) {
    if (error.reason() != Reason::TooLarge)
        return StorageReason(error.reason(), error.systemCode());
    QString size = ReadableSize(error.size());
    QString maximum = ReadableSize(error.maximum());
    if (size == maximum) { // rounded alike: give the exact figures
        const QLocale swedish(QLocale::Swedish, QLocale::Sweden);
        size = swedish.toString(static_cast<qulonglong>(error.size())) + QStringLiteral(" byte");
        maximum =
            swedish.toString(static_cast<qulonglong>(error.maximum())) + QStringLiteral(" byte");
        size.replace(QChar(0xA0), u' ');
        maximum.replace(QChar(0xA0), u' ');
    }
    return QStringLiteral("filen är %1 stor, och högst %2 kan läsas in").arg(size, maximum);
}

} // namespace tolvana::ui
