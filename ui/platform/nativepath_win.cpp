// Paths between Qt and the file layer on Windows: the file layer takes UTF-8
// and turns it into the wide characters of the Win32 calls, so no name is
// limited to the ANSI code page.

#include "ui/platform/nativepath.h"

#include "messages/messages.h"

#include <QDir>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <shellapi.h>

namespace tolvana::ui {

QString QtPath(const std::string& path) { return QString::fromStdString(path); }

std::string StoragePath(const QString& path) { return path.toStdString(); }

QString PathForDisplay(const std::string& path) {
    return QDir::toNativeSeparators(QString::fromStdString(messages::ShownName(path)));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(QString::fromWCharArray(wide[i]).toStdString());
    ::LocalFree(wide);
    return arguments;
}

std::string LocalPathOfFileUrl(std::string_view host, std::string path) {
    if (path.empty()) return {};
    const bool here = host.empty() || QString::fromUtf8(host.data(), qsizetype(host.size()))
                                              .compare(u"localhost", Qt::CaseInsensitive) == 0;
    // "file:///C:/x.crp" names C:/x.crp; "file://server/share/x.crp" a share.
    if (!here) return "\\\\" + std::string(host) + path;
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':') return path.substr(1);
    return path;
}

} // namespace tolvana::ui
