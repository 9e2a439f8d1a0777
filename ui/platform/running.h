#pragma once

// A mark that the program is running, which its installer and uninstaller
// look for before they replace or remove its files (on Windows the named
// mutex kRunningMutex in the session; elsewhere nothing, since a package
// manager replaces a running program's file safely).

namespace tolvana::ui {

// The mutex's name, as installer/tolvana.nsi asks for it.
inline constexpr wchar_t kRunningMutex[] = L"Local\\se.tolvana.Tolvana";

// Marks the program as running until the process ends. One per platform
// (running_win.cpp, running_posix.cpp).
void MarkRunning();

} // namespace tolvana::ui
