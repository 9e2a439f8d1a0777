#include "ui/texts/codepage.h"

#include "storage/codepage.h"

namespace tolvana::ui {

QChar CharOfCode(unsigned char code) { return QChar(storage::CharOfCode(code)); }

int CodeOfChar(QChar c) { return storage::CodeOfChar(c.unicode()); }

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
