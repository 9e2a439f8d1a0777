#pragma once

// Control characters named in words for the program's messages, where a font
// would show them as nothing or as an empty box: "vagnretur (kod 13)".

#include <QString>

namespace tolvana::ui {

// The Swedish name of a control character with its code, such as
// "radmatning (kod 10)", for codes 0-31 and 127, "styrtecken (kod 133)" for the
// other control characters 128-159; an empty text for any other character.
QString ControlName(char16_t c);

// `text` with each control character replaced by its name in brackets:
// "15" CR "3" gives "15[vagnretur (kod 13)]3".
QString WithControlNames(const QString& text);

} // namespace tolvana::ui
