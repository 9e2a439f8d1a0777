#include "ui/textbox/codetextboxaccessible.h"

#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <new>
#include <utility>

namespace tolvana::ui {
namespace {

TextBoxEventHandler eventHandler = nullptr;

QAccessibleInterface* MakeInterface(const QString&, QObject* object) {
    if (auto* box = qobject_cast<CodeTextBox*>(object)) return new CodeTextBoxAccessible(box);
    return nullptr;
}

// A few lines of shown text, on which Qt's own search for characters, words,
// sentences and lines runs; it asks a text interface for the whole text,
// which for a box would mean building all of it.
class Window : public QAccessibleTextInterface {
public:
    explicit Window(QString text) : text_(std::move(text)) {}

    QString text(int startOffset, int endOffset) const override {
        return text_.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(text_.size()); }

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        return {};
    }

private:
    QString text_;
};

} // namespace

void InstallTextBoxAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(MakeInterface);
        return true;
    }();
    (void)installed;
}

void ForgetPlainAccessibility(CodeTextBox* box) {
    // Nothing is asked while no tool listens, so nothing can have been kept.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* kept = QAccessible::queryAccessibleInterface(box);
    if (kept && !dynamic_cast<CodeTextBoxAccessible*>(kept))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(kept));
}

bool TextBoxAccessibilityListens() { return eventHandler != nullptr || QAccessible::isActive(); }

void ReportTextBoxAccessibility(QAccessibleEvent& event) {
    if (eventHandler)
        eventHandler(&event);
    else
        QAccessible::updateAccessibility(&event);
}

void ReportTextBoxChange(QObject* box, const TextBuffer& buffer,
                         const TextControl::Change& change) {
    if (!TextBoxAccessibilityListens()) return;
    // An event that finds no memory is dropped; the change is made.
    try {
        if (!change.edit) {
            QAccessibleTextUpdateEvent event(
                box, 0, TextBuffer::ToDisplay(change.removed, buffer.lineBreak()),
                TextBuffer::ToDisplay(change.inserted, buffer.lineBreak()));
            ReportTextBoxAccessibility(event);
            return;
        }
        // In a CR LF box a CR and an LF that meet at the edge of the change
        // may have joined into a line break or come apart, so what is
        // reported takes in the characters on either side that could.
        const QString& text = buffer.text();
        const bool crLf = buffer.breakLength() == 2;
        const qsizetype position = change.position;
        const qsizetype end = position + change.inserted.size();
        qsizetype from = position;
        qsizetype to = end;
        if (crLf && from > 0 && text[from - 1] == u'\r') --from;
        if (crLf && to < text.size() && text[to] == u'\n') ++to;
        const QString before = text.mid(from, position - from);
        const QString after = text.mid(end, to - end);
        QString oldShown =
            TextBuffer::ToDisplay(before + change.removed + after, buffer.lineBreak());
        QString newShown =
            TextBuffer::ToDisplay(before + change.inserted + after, buffer.lineBreak());
        // Only what differs is reported.
        qsizetype same = 0;
        while (same < oldShown.size() && same < newShown.size() && oldShown[same] == newShown[same])
            ++same;
        qsizetype sameEnd = 0;
        while (sameEnd < oldShown.size() - same && sameEnd < newShown.size() - same &&
               oldShown[oldShown.size() - 1 - sameEnd] == newShown[newShown.size() - 1 - sameEnd])
            ++sameEnd;
        oldShown = oldShown.mid(same, oldShown.size() - same - sameEnd);
        newShown = newShown.mid(same, newShown.size() - same - sameEnd);
        const int at = static_cast<int>(buffer.shownOffset(from) + same);
        if (oldShown.isEmpty() && !newShown.isEmpty()) {
            QAccessibleTextInsertEvent event(box, at, newShown);
            ReportTextBoxAccessibility(event);
        } else if (newShown.isEmpty() && !oldShown.isEmpty()) {
            QAccessibleTextRemoveEvent event(box, at, oldShown);
            ReportTextBoxAccessibility(event);
        } else if (!oldShown.isEmpty()) {
            QAccessibleTextUpdateEvent event(box, at, oldShown, newShown);
            ReportTextBoxAccessibility(event);
        }
    } catch (const std::bad_alloc&) {
    }
}

TextBoxEventHandler SetTextBoxEventHandler(TextBoxEventHandler handler) {
    return std::exchange(eventHandler, handler);
}

CodeTextBoxAccessible::CodeTextBoxAccessible(CodeTextBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

CodeTextBox* CodeTextBoxAccessible::box() const { return static_cast<CodeTextBox*>(widget()); }

const TextBuffer& CodeTextBoxAccessible::buffer() const { return box()->control().buffer(); }

qsizetype CodeTextBoxAccessible::positionOf(int offset) const {
    return buffer().positionOfShown(offset);
}

int CodeTextBoxAccessible::offsetOf(qsizetype position) const {
    return static_cast<int>(buffer().shownOffset(position));
}

QAccessible::State CodeTextBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.editable = !box()->isReadOnly();
    state.readOnly = box()->isReadOnly();
    state.selectableText = true;
    return state;
}

void* CodeTextBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString CodeTextBoxAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return box()->toPlainText();
    return QAccessibleWidget::text(t);
}

// ---------------------------------------------------------------------------
// Caret and selection

int CodeTextBoxAccessible::cursorPosition() const { return offsetOf(box()->control().position()); }

void CodeTextBoxAccessible::setCursorPosition(int position) {
    box()->control().setPosition(positionOf(position));
}

int CodeTextBoxAccessible::selectionCount() const {
    return box()->control().selectionStart() != box()->control().selectionEnd() ? 1 : 0;
}

void CodeTextBoxAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0) return;
    *startOffset = offsetOf(box()->control().selectionStart());
    *endOffset = offsetOf(box()->control().selectionEnd());
}

// The box has one selection, so adding one replaces it.
void CodeTextBoxAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void CodeTextBoxAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) box()->control().setPosition(box()->control().position());
}

void CodeTextBoxAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0) return;
    box()->control().select(positionOf(startOffset), positionOf(endOffset));
}

// ---------------------------------------------------------------------------
// Text

int CodeTextBoxAccessible::characterCount() const {
    return static_cast<int>(buffer().shownLength());
}

QString CodeTextBoxAccessible::text(int startOffset, int endOffset) const {
    if (endOffset < 0) endOffset = characterCount();
    if (startOffset >= endOffset) return {};
    return buffer().shownText(positionOf(startOffset), positionOf(endOffset));
}

template <class Ask>
QString CodeTextBoxAccessible::aroundOffset(int offset, int* startOffset, int* endOffset,
                                            Ask ask) const {
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (offset == -2) offset = cursorPosition();
    if (offset == -1) offset = count;
    if (offset < 0 || offset > count) return {};
    // The line of the offset with the line before and after it: enough to
    // find the character, word, sentence or line at, before or after it.
    const TextBuffer& b = buffer();
    const qsizetype line = b.lineOf(positionOf(offset));
    const qsizetype from = b.lineStart(std::max<qsizetype>(0, line - 1));
    const qsizetype to = line + 2 < b.lineCount() ? b.lineStart(line + 2) : b.size();
    const int shift = offsetOf(from);
    const Window window(b.shownText(from, to));
    QString found = ask(window, offset - shift, startOffset, endOffset);
    if (*startOffset >= 0) *startOffset += shift;
    if (*endOffset >= 0) *endOffset += shift;
    return found;
}

QString CodeTextBoxAccessible::textBeforeOffset(int offset,
                                                QAccessible::TextBoundaryType boundaryType,
                                                int* startOffset, int* endOffset) const {
    if (boundaryType == QAccessible::NoBoundary)
        return QAccessibleTextInterface::textBeforeOffset(offset, boundaryType, startOffset,
                                                          endOffset);
    return aroundOffset(offset, startOffset, endOffset,
                        [boundaryType](const Window& w, int at, int* start, int* end) {
                            return w.QAccessibleTextInterface::textBeforeOffset(at, boundaryType,
                                                                                start, end);
                        });
}

QString CodeTextBoxAccessible::textAfterOffset(int offset,
                                               QAccessible::TextBoundaryType boundaryType,
                                               int* startOffset, int* endOffset) const {
    if (boundaryType == QAccessible::NoBoundary)
        return QAccessibleTextInterface::textAfterOffset(offset, boundaryType, startOffset,
                                                         endOffset);
    return aroundOffset(offset, startOffset, endOffset,
                        [boundaryType](const Window& w, int at, int* start, int* end) {
                            return w.QAccessibleTextInterface::textAfterOffset(at, boundaryType,
                                                                               start, end);
                        });
}

QString CodeTextBoxAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    if (boundaryType == QAccessible::NoBoundary)
        return QAccessibleTextInterface::textAtOffset(offset, boundaryType, startOffset, endOffset);
    return aroundOffset(offset, startOffset, endOffset,
                        [boundaryType](const Window& w, int at, int* start, int* end) {
                            return w.QAccessibleTextInterface::textAtOffset(at, boundaryType, start,
                                                                            end);
                        });
}

QString CodeTextBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // One font and colour throughout: no attributes, over the whole text.
    (void)offset;
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

// ---------------------------------------------------------------------------
// Geometry

QRect CodeTextBoxAccessible::characterRect(int offset) const {
    const CodeTextBox* b = box();
    const QRectF cell = b->characterRect(positionOf(offset));
    const QPoint topLeft = b->viewport()->mapToGlobal(cell.topLeft().toPoint());
    return QRect(topLeft, cell.size().toSize());
}

int CodeTextBoxAccessible::offsetAtPoint(const QPoint& point) const {
    const CodeTextBox* b = box();
    const QPoint local = b->viewport()->mapFromGlobal(point);
    if (!b->viewport()->rect().contains(local)) return -1;
    return offsetOf(b->positionAt(local));
}

void CodeTextBoxAccessible::scrollToSubstring(int startIndex, int endIndex) {
    CodeTextBox* b = box();
    b->ensureVisible(positionOf(endIndex));
    b->ensureVisible(positionOf(startIndex));
    b->viewport()->update();
}

// ---------------------------------------------------------------------------
// Editing, as the box edits: undoable, never while the box is read-only, a
// line break of any kind becomes the box's own and a control picture the
// control character it stands for.

void CodeTextBoxAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void CodeTextBoxAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void CodeTextBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    CodeTextBox* b = box();
    if (b->isReadOnly()) return;
    const qsizetype from = positionOf(std::min(startOffset, endOffset));
    const qsizetype to = positionOf(std::max(startOffset, endOffset));
    try {
        b->control().replace(from, to, b->control().fromShown(text));
    } catch (const std::bad_alloc&) {
        // The text stays as it was; there is no room for more.
        QApplication::beep();
    }
}

} // namespace tolvana::ui
