#include "ui/codepage.h"

#include <array>

namespace tolvana::ui {
namespace {

// Codes 0x80-0x9F; the rest of the code page is the same as Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

QChar CharOfCode(unsigned char code) {
    if (code >= 0x80 && code <= 0x9F) return QChar(kHighControls[code - 0x80]);
    return QChar(code);
}

int CodeOfChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == u) return static_cast<int>(0x80 + i);
    return -1;
}

std::optional<std::string> ToCodes(const QString& text, qsizetype* badPosition) {
    std::string codes(static_cast<std::size_t>(text.size()), '\0');
    const QChar* data = text.constData();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = data[i].unicode();
        // Most characters are their own code; only the rest need the table.
        int code = u < 0x80 || (u >= 0xA0 && u <= 0xFF) ? u : CodeOfChar(data[i]);
        if (code < 0) {
            if (badPosition) *badPosition = i;
            return std::nullopt;
        }
        codes[static_cast<std::size_t>(i)] = static_cast<char>(code);
    }
    return codes;
}

QString FromCodes(std::string_view codes) {
    QString text(static_cast<qsizetype>(codes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : codes) *out++ = CharOfCode(static_cast<unsigned char>(c));
    return text;
}

} // namespace tolvana::ui
