#pragma once

// The state of a CodeTextBox behind its public face: its text, its control,
// and what the view keeps for painting and scrolling. Private to this
// folder.

#include "ui/textbox/codetextbox.h"
#include "ui/textbox/textbuffer.h"
#include "ui/textbox/textcontrol.h"

#include <QBasicTimer>
#include <QPoint>

namespace tolvana::ui {

struct CodeTextBoxPrivate {
    CodeTextBoxPrivate(CodeTextBox* box, TextBuffer::LineBreak lineBreak);

    // The view's geometry, in the viewport's pixels. Lines are all as high;
    // the first line has a margin above it, as in a plain text edit.
    int lineHeight() const { return buffer.widths().lineHeight(); }
    int top() const;
    int topMargin() const;
    // The viewport's top of a line.
    int lineTop(qsizetype line) const;
    // Whole lines that fit in the viewport, as the scroll bar counts them.
    qsizetype pageLines() const;
    // Where a point of the viewport lies across the lines, in the buffer's
    // terms.
    TextBuffer::Fixed contentX(double viewportX) const;
    double viewportX(TextBuffer::Fixed x) const;
    qsizetype lineAt(int viewportY) const;
    TextControl::Pointer pointer(const QMouseEvent* event) const;

    void updateScrollBars();
    void setTop(qsizetype line);
    // Scrolls as a plain text edit does to show the caret at a position:
    // the least way up or down, and the caret to the middle across.
    void ensureVisible(qsizetype position);
    // PgUp and PgDn: the view moves a page and the caret keeps its row on
    // the screen.
    void pageUpDown(bool down, bool keepAnchor);

    // After every change of the caret or the selection.
    void cursorChanged(bool reveal);
    // After every change of the text, an edit or a new text.
    void textChanged(const TextControl::Change& change);
    // Tells accessibility tools of a moved caret and a changed selection.
    void reportCaret();
    void restartBlinking();
    void autoScroll();
    // Carries the selection off to wherever it is dropped.
    void dragSelection();

    CodeTextBox* box;
    TextBuffer buffer;
    TextControl control;

    // The caret blinks while the box has the focus.
    QBasicTimer blinkTimer;
    bool caretOn = false;
    // The caret's row on the screen, kept over a run of PgUp and PgDn.
    bool pageRowValid = false;
    int pageRowY = 0;
    // Dragging past an edge scrolls, the quicker the further out.
    QBasicTimer autoScrollTimer;
    QPoint dragPoint;
    // Where dragged text would be dropped, or -1.
    qsizetype dropPosition = -1;
    // The caret and anchor accessibility tools last heard of.
    qsizetype reportedCaret = 0;
    qsizetype reportedAnchor = 0;
};

} // namespace tolvana::ui
