#pragma once

// The font every window of the program uses. The windows were laid out for an
// 8-point sans serif at 96 dots per inch (MS Sans Serif 8 on Windows): 11
// pixels high. Liberation Sans has the letter widths of Arial, which Windows
// has too, so the same texts fit the same boxes on every platform.

#include <QFont>

namespace tolvana::ui {

QFont DesignFont();

// Makes DesignFont() the application's font; call once, after the
// application object exists and before any window is made.
void UseDesignFont();

// The font the windows use where the user's font is `system`: the design
// font, made larger in proportion where the system font is larger than the
// usual 9 points at 96 dots per inch, as after a larger font setting (qt6ct, Xft.dpi, QT_FONT_DPI,
// Windows' "make text bigger"). The windows size their controls from it.
QFont ProgramFont(const QFont& system);

// Makes ProgramFont() of the platform's general font the application's font;
// call once, as UseDesignFont().
void UseProgramFont();

} // namespace tolvana::ui
