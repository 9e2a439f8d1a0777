#pragma once

// The code page of the program's text (storage/codepage.h holds the table) in
// Qt's terms. Every code 0-255 is a character, and the conversion below is
// exact both ways.

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace tolvana::ui {

// The character of a code.
QChar CharOfCode(unsigned char code);

// The code of a character, or -1 when the code page has no such character.
int CodeOfChar(QChar c);

// The text's UTF-16 code units, as the shared commands take text.
std::u16string_view Utf16(const QString& text);

// Converts text to its codes. A character without a code (including any
// character outside the basic multilingual plane) is never replaced: the
// conversion fails and `badPosition` receives the index of the first such
// character in `text`.
std::optional<std::string> ToCodes(const QString& text, qsizetype* badPosition = nullptr);

QString FromCodes(std::string_view codes);

} // namespace tolvana::ui
