// Paths between Qt and the file layer on POSIX systems: the file system's own
// bytes, held exactly in a QString.

#include "ui/platform/nativepath.h"

#include "messages/messages.h"
#include "storage/textfile.h"

#include <QSysInfo>

namespace tolvana::ui {
namespace {

// The low surrogates that hold the bytes 0x80-0xFF that are not UTF-8.
constexpr char16_t kEscapedByte = 0xDC00;

bool IsEscapedByte(const QString& path, qsizetype i) {
    const char16_t c = path[i].unicode();
    return c >= kEscapedByte + 0x80 && c <= kEscapedByte + 0xFF &&
           (i == 0 || !path[i - 1].isHighSurrogate());
}

} // namespace

QString QtPath(const std::string& path) {
    QString out;
    out.reserve(static_cast<qsizetype>(path.size()));
    for (std::size_t pos = 0; pos < path.size();) {
        char32_t c = 0;
        const std::size_t length = storage::NextUtf8(path, pos, c);
        if (length == 0) {
            out +=
                QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(path[pos])));
            ++pos;
            continue;
        }
        if (QChar::requiresSurrogates(c)) {
            out += QChar(QChar::highSurrogate(c));
            out += QChar(QChar::lowSurrogate(c));
        } else {
            out += QChar(static_cast<char16_t>(c));
        }
        pos += length;
    }
    return out;
}

std::string StoragePath(const QString& path) {
    std::string out;
    out.reserve(static_cast<std::size_t>(path.size()));
    qsizetype run = 0; // the start of the characters not yet converted
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscapedByte(path, i)) continue;
        out += QStringView(path).mid(run, i - run).toUtf8().toStdString();
        if (i < path.size()) out += static_cast<char>(path[i].unicode() - kEscapedByte);
        run = i + 1;
    }
    return out;
}

QString PathForDisplay(const std::string& path) {
    return QString::fromStdString(messages::ShownName(path));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string LocalPathOfFileUrl(std::string_view host, std::string path) {
    const QString name = QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size()));
    const bool here = name.isEmpty() || name.compare(u"localhost", Qt::CaseInsensitive) == 0 ||
                      name.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
    if (!here || path.empty()) return {};
    return path;
}

} // namespace tolvana::ui
