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

} // namespace tolvana::ui
