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

    LineBreak lineBreak() const;
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
    qsizetype lineCount() const;
    // The line that holds a position, and where a line begins and ends.
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineStart(qsizetype line) const;
    qsizetype lineEnd(qsizetype line) const;

    qsizetype cursorPosition() const;
    void setCursorPosition(qsizetype position);
    // The other end of the selection; the same as the caret when nothing is
    // selected.
    qsizetype anchorPosition() const;
    void setSelection(qsizetype anchor, qsizetype position);
    qsizetype selectionStart() const;
    qsizetype selectionEnd() const;
    QString selectedText() const;
    void selectAll();
    bool isUndoAvailable() const;
    bool isRedoAvailable() const;

    // Replaces a stretch of the text as the user would, with undo; false
    // when the box is read-only or memory ran out, and then nothing changed.
    bool replaceText(qsizetype from, qsizetype to, const QString& text);

    // How a text is shown in plain characters, and how such a showing reads
    // back; kept for messages and for the tests of what is shown.
    static QString ToDisplay(const QString& text, LineBreak lineBreak);
    static QString FromDisplay(const QString& shown, LineBreak lineBreak);
    // Pasted or dropped text: any line-break convention (CR LF, CR, LF,
    // U+2028, U+2029) becomes a line break of the box; all else is kept.
    QString pasted(const QString& text) const;
    // Text a tool gives in the box's showing: as pasted, and each control
    // picture becomes the control character it stands for.
    QString fromShown(const QString& text) const;

    // Positions as the box shows them: in a CR LF box each line break is one
    // shown "\n", everywhere else a shown character is a character of the
    // text. Accessibility tools count in these; each takes only a look-up in
    // the line index.
    qsizetype shownLength() const;
    qsizetype shownOffset(qsizetype position) const;
    qsizetype positionOfShown(qsizetype offset) const;
    // The shown text from one text position to another.
    QString shownText(qsizetype from, qsizetype to) const;

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
    // The text changed by an edit: the user's, an undo or redo, or
    // replaceText(); not by setText() or setContent().
    void edited();

public slots:
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();

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
