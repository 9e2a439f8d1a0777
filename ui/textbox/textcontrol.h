#pragma once

// What the user does to a text box, turned into caret moves and edits of its
// TextBuffer: keys, the mouse, input methods and the clipboard. It knows
// nothing of painting or scrolling; the widget that shows the text gives it
// the positions under the pointer and hears of every change.
//
// The keys, the mouse and the word boundaries work as in Qt's own plain text
// edit, but for the form's keys: Tab and Shift+Tab move between the controls
// (the widget never sees them here) and Ctrl+Tab types a tab. A line break
// of any kind, typed, pasted or committed, becomes the buffer's own, and the
// caret never stands between the two characters of a CR LF break.

#include "ui/textbox/textbuffer.h"

#include <QBasicTimer>
#include <QClipboard>
#include <QObject>
#include <QPointF>
#include <QVariant>

class QInputMethodEvent;
class QKeyEvent;
class QMimeData;

namespace tolvana::ui {

class TextControl : public QObject {
    Q_OBJECT

public:
    using Fixed = TextBuffer::Fixed;

    // A mouse event as the control needs it: the position under the
    // pointer, where across the line the pointer is, and the point itself
    // (in the widget's terms) for telling clicks apart.
    struct Pointer {
        qsizetype position = 0;
        Fixed x = 0;
        QPointF point;
        Qt::MouseButton button = Qt::NoButton;
        Qt::MouseButtons buttons;
        Qt::KeyboardModifiers modifiers;
    };

    // A change of the text: at `position`, `removed` went and `inserted`
    // came.
    struct Change {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        // An edit: the user's, an undo or redo, or replace(). False for a
        // whole new text the program set with setContent() or
        // replaceContent().
        bool edit = true;
    };

    explicit TextControl(TextBuffer& buffer, QObject* parent = nullptr);

    const TextBuffer& buffer() const { return buffer_; }

    // The caret and the other end of the selection.
    qsizetype position() const { return caret_; }
    qsizetype anchor() const { return anchor_; }
    bool hasSelection() const { return caret_ != anchor_; }
    qsizetype selectionStart() const { return std::min(anchor_, caret_); }
    qsizetype selectionEnd() const { return std::max(anchor_, caret_); }
    QString selectedText() const;
    // Moves the caret; with `keepAnchor` the selection runs from the anchor
    // to it.
    void setPosition(qsizetype position, bool keepAnchor = false);
    void select(qsizetype anchor, qsizetype position);
    void selectAll();

    // The program's own changes, which read-only does not hold back; the
    // caret goes to the start of the new text. A new text clears the
    // history; a replaced one is one step that undo takes back, and a text
    // equal to the one held changes nothing (false). Both throw
    // std::bad_alloc, and then nothing changed.
    void setContent(TextBuffer::Content content);
    bool replaceContent(TextBuffer::Content content);
    // Measures the text again in other widths (a new font).
    void setWidths(std::shared_ptr<const CharacterWidths> widths);

    // While read-only nothing but the program changes the text: no key,
    // mouse button, input method, paste or accessibility tool.
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // Replaces a stretch of the text as an edit of the user's, which can be
    // undone; false when read-only or when memory ran out, and then nothing
    // changed. Line breaks in `text` must already be the buffer's.
    bool replace(qsizetype from, qsizetype to, const QString& text);
    // Any line-break convention (CR LF, CR, LF, U+2028, U+2029) made into a
    // line break of the buffer; all else kept as it is.
    QString withOwnBreaks(const QString& text) const;
    // Text a tool gives as the text is shown: as pasted, and each control
    // picture becomes the control character it stands for.
    QString fromShown(const QString& text) const;

    bool canPaste() const;

    // The key handling of a text edit but for the page keys, which belong to
    // the view; false for a key the control does not take.
    bool keyPress(QKeyEvent* event);
    // Whether a key is one of the control's own, which no shortcut may take.
    bool isOwnShortcut(const QKeyEvent* event) const;
    void inputMethod(QInputMethodEvent* event);
    // The input-method queries about the text; the view answers those about
    // places on screen.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const;

    // Mouse events; false for an event the control does not take. A press
    // on the selection may start dragging it away (see dragRequested).
    bool mousePress(const Pointer& pointer);
    void mouseMove(const Pointer& pointer);
    void mouseRelease(const Pointer& pointer);
    bool mouseDoubleClick(const Pointer& pointer);

    // Dropped text: whether it would be taken, and taking it at a position.
    // A move of the box's own selection takes the selection away first.
    bool canDrop(const QMimeData* data) const;
    bool drop(const QMimeData* data, qsizetype position, bool moveOwnSelection);

    // Moves the caret by whole lines, keeping its place across them; false
    // where there is no such line.
    bool moveLines(qsizetype lines, bool keepAnchor, bool reveal);

    // Word and character boundaries as the caret moves over them.
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;
    qsizetype nextWord(qsizetype position) const;
    qsizetype previousWord(qsizetype position) const;
    // The start of the grapheme that a position lies in.
    qsizetype graphemeStart(qsizetype position) const;

public slots:
    void undo();
    void redo();
    void cut();
    void copy();
    void paste(QClipboard::Mode mode = QClipboard::Clipboard);
    void removeSelection();

signals:
    // The caret or the selection changed; `reveal` asks the view to scroll
    // the caret into sight.
    void cursorChanged(bool reveal);
    // The text changed; every change of the buffer is told here.
    void textChanged(const TextControl::Change& change);
    // Memory ran out during an edit; nothing changed.
    void outOfMemory();
    // The selection is being dragged: the view carries it off.
    void dragRequested();

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    // Sets a new text, as one step of the history where `undoable`.
    void newText(TextBuffer::Content content, bool undoable);
    // Moves the caret and tells of it.
    void moveTo(qsizetype anchor, qsizetype caret, bool reveal);
    // Runs an edit the user asked for; false when read-only or out of memory.
    template <class Edit> bool edit(Edit change);
    bool insert(const QString& text, bool typing);
    // Tells of an edit the buffer undid or redid, if any.
    void tookBack(const TextBuffer::Edit* taken);
    // After the text changed: the caret and anchor where the edit leaves
    // them, out of any line break.
    void edited(const TextBuffer::Edit& edit, qsizetype caret, qsizetype anchor);
    bool cursorMoveKey(QKeyEvent* event);
    void setClipboardSelection();
    // Qt's StartOfWord and EndOfWord moves of a cursor at `position`; false
    // where such a move does nothing.
    bool startOfWord(qsizetype& position) const;
    bool endOfWord(qsizetype& position) const;
    void extendWordwise(qsizetype position, Fixed x);
    void extendLinewise(qsizetype position);
    qsizetype lineSelectionEnd(qsizetype line) const;
    // The stretch of the current line an input method sees.
    qsizetype surroundingStart() const;
    qsizetype surroundingEnd() const;
    bool atSeparator(qsizetype position) const;
    bool atSpace(qsizetype position) const;

    TextBuffer& buffer_;
    qsizetype caret_ = 0;
    qsizetype anchor_ = 0;
    Fixed wantedX_ = -1; // the column kept while moving up and down
    bool readOnly_ = false;

    // The mouse, as Qt's text control keeps it.
    bool mousePressed_ = false;
    bool mightStartDrag_ = false;
    QPointF pressPoint_;
    QBasicTimer tripleClickTimer_;
    QPointF tripleClickPoint_;
    // The word a double click selected and the line a triple click selected,
    // which a drag or a Shift click extends; from > to when there is none.
    struct Stretch {
        qsizetype anchor = -1;
        qsizetype caret = -1;
        bool valid() const { return anchor >= 0; }
        qsizetype start() const { return std::min(anchor, caret); }
        qsizetype end() const { return std::max(anchor, caret); }
    };
    Stretch doubleClickWord_;
    Stretch tripleClickLine_;
};

} // namespace tolvana::ui
