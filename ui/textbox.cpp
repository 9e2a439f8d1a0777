#include "ui/textbox.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace tolvana::ui {
namespace {

constexpr char16_t kPictureBase = 0x2400;   // U+2400 SYMBOL FOR NULL .. U+241F
constexpr char16_t kDeletePicture = 0x2421; // U+2421 SYMBOL FOR DELETE
constexpr char16_t kDelete = 0x7F;

bool IsHiddenControl(char16_t c) { return (c < 0x20 && c != u'\t') || c == kDelete; }

QChar PictureOf(char16_t c) { return QChar(c == kDelete ? kDeletePicture : kPictureBase + c); }

// The box holds paragraphs; QTextDocument separates them with U+2029 and shows
// a soft line break (Shift+Enter) as U+2028. Both read back as line breaks.
bool IsShownLineBreak(char16_t c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

CodeTextBox::CodeTextBox(LineBreak lineBreak, QWidget* parent)
    : QPlainTextEdit(parent), lineBreak_(lineBreak) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
}

QString CodeTextBox::ToDisplay(const QString& text, LineBreak lineBreak) {
    QString shown;
    shown.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (lineBreak == LineBreak::CrLf && c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            shown += u'\n';
            ++i;
        } else if (lineBreak == LineBreak::Lf && c == u'\n') {
            shown += u'\n';
        } else if (IsHiddenControl(c)) {
            shown += PictureOf(c);
        } else {
            shown += QChar(c);
        }
    }
    return shown;
}

QString CodeTextBox::FromDisplay(const QString& shown, LineBreak lineBreak) {
    const QString breakText =
        lineBreak == LineBreak::CrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    text.reserve(shown.size());
    for (QChar qc : shown) {
        const char16_t c = qc.unicode();
        if (IsShownLineBreak(c) || c == u'\n')
            text += breakText;
        else if (c >= kPictureBase && c < kPictureBase + 0x20)
            text += QChar(c - kPictureBase);
        else if (c == kDeletePicture)
            text += QChar(kDelete);
        else
            text += qc;
    }
    return text;
}

QString CodeTextBox::PastedToDisplay(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar lineBreak :
         {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        lines.replace(lineBreak, u'\n');
    return ToDisplay(lines, LineBreak::Lf);
}

QString CodeTextBox::text() const {
    // toRawText, unlike toPlainText, keeps non-breaking spaces as they are.
    return FromDisplay(document()->toRawText(), lineBreak_);
}

void CodeTextBox::setText(const QString& text) { setPlainText(ToDisplay(text, lineBreak_)); }

void CodeTextBox::keyPressEvent(QKeyEvent* event) {
    // Every Enter, with or without modifiers, makes an ordinary line break.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        textCursor().insertBlock();
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QMimeData* CodeTextBox::createMimeDataFromSelection() const {
    auto* data = new QMimeData;
    data->setText(FromDisplay(textCursor().selectedText(), lineBreak_));
    return data;
}

void CodeTextBox::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) return;
    textCursor().insertText(PastedToDisplay(source->text()));
    ensureCursorVisible();
}

} // namespace tolvana::ui
