#pragma once

// What ties the program's windows to its menu entry and icon: the desktop
// file name (which Wayland also takes as the program's id) and the window
// icon that every window shows in its title bar, the task bar and Alt+Tab.

#include <QIcon>
#include <QString>

namespace tolvana::ui {

// The name of the menu entry, se.tolvana.Tolvana.desktop, without ".desktop";
// also the icon's name in the icon theme.
inline constexpr char16_t kDesktopName[] = u"se.tolvana.Tolvana";

// The program's icon: the installed icon theme's, so that a theme may draw
// its own, or else the program's own, built into it in every size the
// desktop asks for.
QIcon ProgramIcon();

// Gives the application its desktop file name and every window the
// program's icon. Called once the application object exists.
void UseProgramIdentity();

} // namespace tolvana::ui
