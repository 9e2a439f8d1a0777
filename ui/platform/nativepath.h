#pragma once

// Paths between the windows and the file layer. The shared part is in
// nativepath.cpp; what differs is in one file per platform:
// nativepath_posix.cpp, nativepath_win.cpp.
//
// The file layer takes a path as the system's bytes (on Windows: UTF-8). The
// windows hold a path as a QString that keeps those bytes exactly, so that a
// name is never lost between the command line or a dialog and the file:
// StoragePath(QtPath(bytes)) == bytes for every name. On POSIX, bytes that are
// not part of valid UTF-8 (an old Latin-1 name, say) are held one by one as
// U+DC80 + the byte, lone low surrogates that no UTF-8 name can hold. Qt's own
// conversion (QFile::decodeName) turns such bytes into U+FFFD and cannot give
// them back, so the program's paths never go through it.

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace tolvana::ui {

// A path of the file layer as the windows hold it, and the other way round;
// exact both ways.
QString QtPath(const std::string& path);
std::string StoragePath(const QString& path);

// A path as the user sees it in a message: native separators, and bytes that
// are not UTF-8 shown visibly as \xE4 (messages::ShownName).
QString PathForDisplay(const std::string& path);
QString PathForDisplay(const QString& path);

// The program's arguments, its name first, as the file layer's bytes: argv as
// it is on POSIX; on Windows the wide command line, so that no name is limited
// to the ANSI code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// What an argument from outside (the command line, a drop) names. A path is
// itself. A file URL ("file:///tmp/x.crp") names its path, with percent
// escapes decoded into the system's bytes. Any other address, and a file URL
// of another machine, names no file here: then `path` is empty and `scheme`
// says what kind of address it was, and `host` names the other machine.
struct NamedFile {
    QString path;
    QString scheme;
    QString host;
};
NamedFile FileNamedBy(const QString& argument);

// The local path that a file URL with `host` and the (percent-decoded) `path`
// names, or an empty text when it names a file of another machine. One per
// platform.
std::string LocalPathOfFileUrl(std::string_view host, std::string path);

} // namespace tolvana::ui
