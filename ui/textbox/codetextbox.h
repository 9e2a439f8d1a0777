#pragma once

// A multi-line text box whose text is exactly the string it was given, and
// that stays quick with texts of millions of lines or one line of millions
// of characters.
//
// It is made as Qt makes its own plain text edit: a TextBuffer holds the
// text, its line index and its history, a TextControl turns keys, the mouse,
// input methods and the clipboard into edits and caret moves, and the box
// itself paints and scrolls. It has its own idea of a line break (CR LF or
// LF); every other control character is drawn as a small framed
// abbreviation ("CR", "LF", "NUL"...), without depending on any font, and
// reads back as itself. So any string set into the box reads back
// unchanged, and what is typed or pasted is kept as typed. Lines do not wrap.

#include "ui/textbox/textbuffer.h"
#include "ui/textbox/textcontrol.h"

#include <QAbstractScrollArea>
#include <QString>

#include <memory>

class QMenu;

namespace tolvana::ui {

struct CodeTextBoxPrivate;

class CodeTextBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    using LineBreak = TextBuffer::LineBreak;
    using Content = TextBuffer::Content;
    using Preparer = TextBuffer::Preparer;
    using CodeTable = TextBuffer::CodeTable;

    explicit CodeTextBox(LineBreak lineBreak, QWidget* parent = nullptr);
    ~CodeTextBox() override;

    QString text() const;
    void setText(const QString& text);
    // Makes a Content for this box, also on another thread; setting it
    // takes no time.
    Preparer preparer() const;
    void setContent(Content content);
    // Replaces the whole text as a command does: one step that undo takes
    // back. A text equal to the one held changes nothing.
    void replaceContent(Content content);

    // While read-only, the user changes nothing, by any way: keys, the
    // mouse, drops, input methods and accessibility tools. The program still
    // sets the text.
    bool isReadOnly() const;
    void setReadOnly(bool readOnly);

    // The text as the box shows it: line breaks as "\n", every other control
    // character as its Unicode picture (U+2400 onward).
    QString toPlainText() const;

    // The control that keys, the mouse and the program change the text
    // through: the caret, the selection, edits, undo and the clipboard, and
    // through buffer() the text's lines and shown positions. What is done
    // through it the box shows.
    TextControl& control();
    const TextControl& control() const;

    // Where the character at a position is drawn, in the viewport's terms,
    // and the position nearest to a point of the viewport.
    QRectF characterRect(qsizetype position) const;
    qsizetype positionAt(const QPoint& viewportPoint) const;
    // Scrolls so that a position can be seen.
    void ensureVisible(qsizetype position);
    // Whether the caret is drawn now: the box has the focus and a blinking
    // caret is in its visible half.
    bool isCaretShown() const;

    // The menu a right click opens, with the standard shortcuts.
    QMenu* createStandardContextMenu();

signals:
    // The text changed by an edit: the user's, an undo or redo, or the
    // control's replace(); not by setText(), setContent() or
    // replaceContent().
    void edited();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::unique_ptr<CodeTextBoxPrivate> d;
};

} // namespace tolvana::ui
