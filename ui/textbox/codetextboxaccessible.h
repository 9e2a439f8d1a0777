#pragma once

// What screen readers (through AT-SPI on Linux, UI Automation on Windows)
// see of a CodeTextBox: an editable multi-line text with a caret and a
// selection.
//
// The text reported is the text as the box shows it, the same as
// CodeTextBox::toPlainText(): a line break is one "\n" (also where the text
// holds CR LF) and every other control character is its Unicode picture
// (U+2400 onward). So offsets count the characters on screen, a reader's
// "next character" moves as the caret does, and no piece of text a reader
// asks for holds a half of a line break. Text a tool inserts reads back the
// same way: "\n" becomes the box's own line break, a picture becomes its
// control character. A read-only box takes no edit. The interface uses the
// box's public face alone.

#include "ui/textbox/textcontrol.h"

#include <QAccessibleWidget>

namespace tolvana::ui {

class CodeTextBox;

// Makes Qt give every CodeTextBox the interface below. Installs once however
// often it is called; the box's constructor calls it.
void InstallTextBoxAccessibility();

// While a widget's base classes are being made, Qt can only make a plain
// interface for it, and keeps that one; a box, once made, drops any such
// interface so that the next query makes the box's own.
void ForgetPlainAccessibility(CodeTextBox* box);

// Whether anything hears of the changes in a box: the platform's
// accessibility when a tool uses it, or a handler set below. A box builds
// its events only then.
bool TextBoxAccessibilityListens();
// Gives a box's event to the handler if one is set, else to Qt.
void ReportTextBoxAccessibility(QAccessibleEvent& event);
// Tells accessibility tools of a change of a box's text, as the box now
// shows it: an edit as what differs on screen, a new text as a change of
// the whole. `buffer` holds the text after the change.
void ReportTextBoxChange(QObject* box, const TextBuffer& buffer, const TextControl::Change& change);
// Sets the handler that hears the boxes' events in place of Qt, and returns
// the one before. Tests use it: where no platform accessibility runs (as on
// the offscreen platform), Qt drops every event, also before its own update
// handler sees it.
using TextBoxEventHandler = void (*)(QAccessibleEvent* event);
TextBoxEventHandler SetTextBoxEventHandler(TextBoxEventHandler handler);

class CodeTextBoxAccessible : public QAccessibleWidget,
                              public QAccessibleTextInterface,
                              public QAccessibleEditableTextInterface {
public:
    explicit CodeTextBoxAccessible(CodeTextBox* box);

    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(QAccessible::Text t) const override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    CodeTextBox* box() const;
    const TextBuffer& buffer() const;
    qsizetype positionOf(int offset) const;
    int offsetOf(qsizetype position) const;
    template <class Ask>
    QString aroundOffset(int offset, int* startOffset, int* endOffset, Ask ask) const;
};

} // namespace tolvana::ui
