#pragma once

// The conversion of paths between the windows and the file layer, one file per
// platform: nativepath_posix.cpp, nativepath_win.cpp.

#include <QString>

#include <string>

namespace tolvana::ui {

// A path of the file layer as the user sees it, and the other way round.
QString PathForDisplay(const std::string& path);
std::string StoragePath(const QString& path);

} // namespace tolvana::ui
