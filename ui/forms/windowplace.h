#pragma once

// The main window's place between runs: its size, its position and whether it
// was maximised, kept in the user's settings (QSettings: the registry under
// HKEY_CURRENT_USER\Software\Tolvana on Windows, ~/.config/Tolvana on Linux).
// A place on a screen that is no longer there is moved onto one that is.

#include <QList>
#include <QRect>

class QWidget;

namespace tolvana::ui {

// Where a window last at `saved` (its place and its client area's size),
// never smaller than `least`, goes on the screens there are now, given by
// their available areas, the primary first: onto the screen that holds most
// of it, or the primary where none holds any, moved and if need be shrunk so
// that it lies wholly on it with its frame, which adds `frame` to its size.
QRect PlaceOnScreens(const QRect& saved, const QSize& least, const QList<QRect>& screens,
                     const QSize& frame = QSize(0, 0));

// Puts `window` where it was at the end of the last run, maximised if it was,
// before it is shown; and saves its place each time it closes.
void RememberPlace(QWidget& window);

} // namespace tolvana::ui
