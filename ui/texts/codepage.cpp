#include "ui/texts/codepage.h"

#include "commands/commands.h"
#include "storage/codepage.h"

namespace tolvana::ui {

QChar CharOfCode(unsigned char code) { return QChar(storage::CharOfCode(code)); }

int CodeOfChar(QChar c) { return storage::CodeOfChar(c.unicode()); }

std::u16string_view Utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

std::optional<std::string> ToCodes(const QString& text, qsizetype* badPosition) {
    std::size_t bad = 0;
    std::optional<std::string> codes = commands::ToCodes(Utf16(text), bad);
    if (!codes && badPosition) *badPosition = static_cast<qsizetype>(bad);
    return codes;
}

QString FromCodes(std::string_view codes) {
    QString text(static_cast<qsizetype>(codes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (char c : codes) *out++ = CharOfCode(static_cast<unsigned char>(c));
    return text;
}

} // namespace tolvana::ui
