#include "ui/textbox/codetextbox.h"

#include "ui/textbox/codetextbox_p.h"
#include "ui/textbox/codetextboxaccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>

namespace tolvana::ui {
namespace {

using Fixed = TextBuffer::Fixed;

// The margin around the text, as a plain text edit's document has.
constexpr int kMargin = 4;
constexpr Fixed kOne = CharacterWidths::kOne;

// A menu text of Qt's text edits, in the application's language, with the
// shortcut of a standard key after a tab.
QString MenuText(const char* text, QKeySequence::StandardKey key = QKeySequence::UnknownKey) {
    QString shown = QCoreApplication::translate("QWidgetTextControl", text);
    if (key != QKeySequence::UnknownKey &&
        !QCoreApplication::testAttribute(Qt::AA_DontShowShortcutsInContextMenus)) {
        const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
        if (!shortcut.isEmpty()) shown += u'\t' + shortcut;
    }
    return shown;
}

} // namespace

// ---------------------------------------------------------------------------
// The private part: geometry, scrolling, and what the box tells others

CodeTextBoxPrivate::CodeTextBoxPrivate(CodeTextBox* box, TextBuffer::LineBreak lineBreak)
    : box(box), buffer(lineBreak, std::make_shared<const CharacterWidths>(box->font())),
      control(buffer) {}

int CodeTextBoxPrivate::top() const { return box->verticalScrollBar()->value(); }

int CodeTextBoxPrivate::topMargin() const { return top() == 0 ? kMargin : 0; }

int CodeTextBoxPrivate::lineTop(qsizetype line) const {
    return static_cast<int>((line - top()) * lineHeight()) + topMargin();
}

qsizetype CodeTextBoxPrivate::pageLines() const {
    const int visible = box->viewport()->height() - kMargin - 1;
    return std::max(0, visible / lineHeight());
}

Fixed CodeTextBoxPrivate::contentX(double viewportX) const {
    return std::llround((viewportX - kMargin + box->horizontalScrollBar()->value()) * kOne);
}

double CodeTextBoxPrivate::viewportX(Fixed x) const {
    return static_cast<double>(x) / kOne + kMargin - box->horizontalScrollBar()->value();
}

qsizetype CodeTextBoxPrivate::lineAt(int viewportY) const {
    const int y = viewportY - topMargin();
    const int h = lineHeight();
    const qsizetype line = top() + (y >= 0 ? y / h : -((-y + h - 1) / h));
    return std::clamp<qsizetype>(line, 0, buffer.lineCount() - 1);
}

TextControl::Pointer CodeTextBoxPrivate::pointer(const QMouseEvent* event) const {
    const QPointF point = event->position();
    const qsizetype line = lineAt(static_cast<int>(std::floor(point.y())));
    TextControl::Pointer pointer;
    pointer.x = contentX(point.x());
    // The place the pointer is nearest to, on a grapheme's edge.
    pointer.position = control.graphemeStart(buffer.positionInLine(line, pointer.x));
    pointer.point = point;
    pointer.button = event->button();
    pointer.buttons = event->buttons();
    pointer.modifiers = event->modifiers();
    return pointer;
}

void CodeTextBoxPrivate::updateScrollBars() {
    // As a plain text edit counts: the last page shows the last line at the
    // bottom, and the width fits the widest line with the margins.
    QScrollBar* vertical = box->verticalScrollBar();
    const qsizetype page = std::min(pageLines(), buffer.lineCount());
    const qsizetype maxTop = std::max<qsizetype>(0, buffer.lineCount() - page);
    vertical->setRange(0, static_cast<int>(std::min<qsizetype>(maxTop, INT_MAX)));
    vertical->setPageStep(static_cast<int>(std::max<qsizetype>(1, page)));
    vertical->setSingleStep(1);
    QScrollBar* horizontal = box->horizontalScrollBar();
    const qint64 width = static_cast<qint64>(buffer.widest()) + 2 * kMargin;
    const qint64 maxX = std::max<qint64>(0, width - box->viewport()->width());
    horizontal->setRange(0, static_cast<int>(std::min<qint64>(maxX, INT_MAX)));
    horizontal->setPageStep(box->viewport()->width());
    horizontal->setSingleStep(20);
}

void CodeTextBoxPrivate::setTop(qsizetype line) {
    box->verticalScrollBar()->setValue(static_cast<int>(std::clamp<qsizetype>(line, 0, INT_MAX)));
}

void CodeTextBoxPrivate::ensureVisible(qsizetype position) {
    const int height = box->viewport()->height();
    const int width = box->viewport()->width();
    const int h = lineHeight();
    const qsizetype line = buffer.lineOf(position);
    const int cursorTop = lineTop(line);
    if (cursorTop < 0 || cursorTop + h - 1 > height - 1) {
        // Relative to the top line, where the top margin lies above 0.
        const int offset = -topMargin();
        const qint64 relativeTop = (line - top()) * static_cast<qint64>(h);
        if (relativeTop + h >= offset + height) {
            // Up from the line until a page is full.
            qsizetype first = line;
            qsizetype after = line;
            qint64 filled = h;
            while (filled < height && first > 0) {
                after = first;
                --first;
                filled += h;
            }
            const int firstOffset = first == 0 ? -kMargin : 0;
            setTop(filled - firstOffset <= height ? first : after);
        } else if (relativeTop < offset) {
            setTop(line);
        }
    }
    const int x = static_cast<int>(std::lround(viewportX(buffer.xOf(position))));
    if (x < 0 || x > width - 1) {
        QScrollBar* horizontal = box->horizontalScrollBar();
        horizontal->setValue(x + horizontal->value() - width / 2);
    }
}

void CodeTextBoxPrivate::pageUpDown(bool down, bool keepAnchor) {
    // As a plain text edit does it, a line being as high as any other.
    ensureVisible(control.position());
    const int h = lineHeight();
    const int height = box->viewport()->height();
    const auto offset = [this] { return -topMargin(); };
    const auto caretY = [&] {
        return static_cast<qint64>(buffer.lineOf(control.position()) - top()) * h;
    };
    if (!pageRowValid) pageRowY = static_cast<int>(caretY() - offset());
    qint64 lastY = pageRowY;
    if (down) {
        const qint64 bottom = offset() + height;
        qsizetype line = top();
        qint64 filled = 0;
        bool atEnd = false;
        while (filled + h <= bottom) {
            if (line + 1 >= buffer.lineCount()) {
                atEnd = true;
                lastY = bottom;
                break;
            }
            filled += h;
            ++line;
        }
        // The first line that did not fit whole comes to the top.
        if (!atEnd) setTop(std::min<qsizetype>(line, box->verticalScrollBar()->maximum()));
        lastY += offset();
        while (control.moveLines(1, keepAnchor, false) && caretY() < lastY) {
        }
    } else {
        const qint64 visibleTop = offset() - height;
        qsizetype line = top();
        qint64 filled = 0;
        while (filled >= visibleTop) {
            if (line == 0) {
                if (top() == 0) lastY = 0;
                break;
            }
            --line;
            filled -= h;
        }
        if (visibleTop - filled > 0 && line + 1 < buffer.lineCount() && line + 1 != top()) ++line;
        setTop(line);
        lastY += offset();
        while (control.moveLines(-1, keepAnchor, false) && caretY() > lastY) {
        }
    }
    // The caret where it came may lie partly below the view, as the first
    // PgDn from the top leaves it when the top margin goes: it is brought
    // into view, as a plain text edit brings its new cursor.
    ensureVisible(control.position());
    pageRowValid = true;
}

void CodeTextBoxPrivate::cursorChanged(bool reveal) {
    pageRowValid = false;
    if (reveal) ensureVisible(control.position());
    restartBlinking();
    box->viewport()->update();
    reportCaret();
    if (box->hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
}

void CodeTextBoxPrivate::restartBlinking() {
    blinkTimer.stop();
    caretOn = box->hasFocus();
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (caretOn && flashTime >= 2) blinkTimer.start(flashTime / 2, box);
    box->viewport()->update();
}

void CodeTextBoxPrivate::reportCaret() {
    const qsizetype oldCaret = reportedCaret;
    const qsizetype oldFrom = std::min(reportedAnchor, reportedCaret);
    const qsizetype oldTo = std::max(reportedAnchor, reportedCaret);
    reportedCaret = control.position();
    reportedAnchor = control.anchor();
    if (!TextBoxAccessibilityListens()) return;
    // A caret that moved is always told of; a selection that changed too.
    if (oldCaret != control.position()) {
        QAccessibleTextCursorEvent event(box, static_cast<int>(buffer.shownOffset(reportedCaret)));
        ReportTextBoxAccessibility(event);
    }
    const bool hadSelection = oldFrom != oldTo;
    if ((hadSelection || control.hasSelection()) &&
        (oldFrom != control.selectionStart() || oldTo != control.selectionEnd())) {
        QAccessibleTextSelectionEvent event(
            box, static_cast<int>(buffer.shownOffset(control.selectionStart())),
            static_cast<int>(buffer.shownOffset(control.selectionEnd())));
        event.setCursorPosition(static_cast<int>(buffer.shownOffset(reportedCaret)));
        ReportTextBoxAccessibility(event);
    }
}

void CodeTextBoxPrivate::textChanged(const TextControl::Change& change) {
    if (!change.edit) {
        // A new text starts at the top left, with the caret at its start.
        box->verticalScrollBar()->setValue(0);
        box->horizontalScrollBar()->setValue(0);
    }
    updateScrollBars();
    if (!change.edit) box->horizontalScrollBar()->setValue(0);
    box->viewport()->update();
    ReportTextBoxChange(box, buffer, change);
}

void CodeTextBoxPrivate::autoScroll() {
    // As a plain text edit: the selection follows the pointer, and the view
    // moves a line or 20 pixels a step, the steps the quicker the further
    // out the pointer is.
    const QRect visible = box->viewport()->rect();
    const QPoint at = dragPoint;
    QMouseEvent move(QEvent::MouseMove, at, box->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::LeftButton, QGuiApplication::keyboardModifiers());
    control.mouseMove(pointer(&move));
    const int deltaY = std::max(at.y() - visible.top(), visible.bottom() - at.y()) - visible.height();
    const int deltaX = std::max(at.x() - visible.left(), visible.right() - at.x()) - visible.width();
    int delta = std::max(deltaX, deltaY);
    if (delta < 0) return;
    delta = std::max(delta, 7);
    autoScrollTimer.start(4900 / (delta * delta), box);
    if (deltaY > 0)
        box->verticalScrollBar()->triggerAction(at.y() < visible.center().y()
                                                    ? QAbstractSlider::SliderSingleStepSub
                                                    : QAbstractSlider::SliderSingleStepAdd);
    if (deltaX > 0)
        box->horizontalScrollBar()->triggerAction(at.x() < visible.center().x()
                                                      ? QAbstractSlider::SliderSingleStepSub
                                                      : QAbstractSlider::SliderSingleStepAdd);
}

void CodeTextBoxPrivate::dragSelection() {
    // As a plain text edit: the text is copied, or moved where the box may
    // be edited, and a move to elsewhere takes it out of the box.
    auto* data = new QMimeData;
    data->setText(control.selectedText());
    auto* drag = new QDrag(box);
    drag->setMimeData(data);
    const bool editable = !control.isReadOnly();
    const Qt::DropAction action =
        drag->exec(editable ? Qt::CopyAction | Qt::MoveAction : Qt::CopyAction,
                   editable ? Qt::MoveAction : Qt::CopyAction);
    if (action == Qt::MoveAction && drag->target() != box && drag->target() != box->viewport())
        control.removeSelection();
}

// ---------------------------------------------------------------------------
// The box

CodeTextBox::CodeTextBox(LineBreak lineBreak, QWidget* parent)
    : QAbstractScrollArea(parent), d(std::make_unique<CodeTextBoxPrivate>(this, lineBreak)) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    // Dropped text goes in where it is dropped; the window takes dropped
    // files before the box sees them.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(&d->control, &TextControl::cursorChanged, this,
            [this](bool reveal) { d->cursorChanged(reveal); });
    connect(&d->control, &TextControl::textChanged, this,
            [this](const TextControl::Change& change) {
                d->textChanged(change);
                if (change.edit) emit edited();
            });
    connect(&d->control, &TextControl::outOfMemory, this, [] { QApplication::beep(); });
    connect(&d->control, &TextControl::dragRequested, this, [this] { d->dragSelection(); });
    connect(QGuiApplication::styleHints(), &QStyleHints::cursorFlashTimeChanged, this,
            [this] { d->restartBlinking(); });
    d->updateScrollBars();
    InstallTextBoxAccessibility();
    ForgetPlainAccessibility(this);
}

CodeTextBox::~CodeTextBox() = default;

QString CodeTextBox::text() const { return d->buffer.text(); }
void CodeTextBox::setText(const QString& text) { setContent(preparer()(text)); }
CodeTextBox::Preparer CodeTextBox::preparer() const { return d->buffer.preparer(); }

void CodeTextBox::setContent(Content content) { d->control.setContent(std::move(content)); }

void CodeTextBox::replaceContent(Content content) { d->control.replaceContent(std::move(content)); }

bool CodeTextBox::isReadOnly() const { return d->control.isReadOnly(); }

void CodeTextBox::setReadOnly(bool readOnly) {
    if (readOnly == isReadOnly()) return;
    d->control.setReadOnly(readOnly);
    // No input method sends text to a read-only box.
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImEnabled);
    if (TextBoxAccessibilityListens()) {
        QAccessible::State changed;
        changed.readOnly = true;
        changed.editable = true;
        QAccessibleStateChangeEvent event(this, changed);
        ReportTextBoxAccessibility(event);
    }
}

QString CodeTextBox::toPlainText() const {
    return TextBuffer::ToDisplay(d->buffer.text(), d->buffer.lineBreak());
}
TextControl& CodeTextBox::control() { return d->control; }
const TextControl& CodeTextBox::control() const { return d->control; }

QRectF CodeTextBox::characterRect(qsizetype position) const {
    const TextBuffer& buffer = d->buffer;
    position = std::clamp<qsizetype>(position, 0, buffer.size());
    const qsizetype line = buffer.lineOf(position);
    const Fixed x = buffer.xOf(position);
    Fixed width = buffer.widths().breakWidth(); // a line break or the end of the text
    if (position < buffer.lineEnd(line)) {
        const char16_t* data = reinterpret_cast<const char16_t*>(buffer.text().constData());
        width = buffer.widths().Step(x, data, position, buffer.size()) - x;
    }
    return QRectF(d->viewportX(x), d->lineTop(line),
                  std::max(1.0, static_cast<double>(width) / kOne), d->lineHeight());
}

qsizetype CodeTextBox::positionAt(const QPoint& viewportPoint) const {
    return d->control.graphemeStart(
        d->buffer.positionInLine(d->lineAt(viewportPoint.y()), d->contentX(viewportPoint.x())));
}

void CodeTextBox::ensureVisible(qsizetype position) { d->ensureVisible(position); }

bool CodeTextBox::isCaretShown() const { return hasFocus() && d->caretOn; }

// ---------------------------------------------------------------------------
// Painting and scrolling

void CodeTextBox::scrollContentsBy(int, int) { viewport()->update(); }

void CodeTextBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    d->updateScrollBars();
}

void CodeTextBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const TextBuffer& buffer = d->buffer;
    const CharacterWidths& widths = buffer.widths();
    const QPalette& colors = palette();
    const int height = d->lineHeight();
    const int right = viewport()->width();
    const qsizetype selectFrom = d->control.selectionStart();
    const qsizetype selectTo = d->control.selectionEnd();
    const char16_t* data = reinterpret_cast<const char16_t*>(buffer.text().constData());
    const qsizetype size = buffer.size();
    const QColor textColor = colors.color(QPalette::Text);
    const QColor selectedColor = colors.color(QPalette::HighlightedText);
    QColor frameColor = textColor;
    frameColor.setAlphaF(0.6f);
    const Fixed leftEdge = d->contentX(0);
    painter.setFont(widths.font());

    for (qsizetype line = d->top(); line < buffer.lineCount(); ++line) {
        const int top = d->lineTop(line);
        if (top >= viewport()->height()) break;
        const double baseline = top + widths.ascent();
        const qsizetype end = buffer.lineEnd(line);
        // Only the characters in view are walked: from the last one that
        // starts left of the view's edge.
        const TextBuffer::Mark first = buffer.placeBefore(line, leftEdge);
        Fixed x = first.x;
        qsizetype i = first.position;
        for (; i < end; ++i) {
            const char16_t c = data[i];
            const Fixed next = widths.Step(x, data, i, size);
            const double left = d->viewportX(x);
            if (left > right) break;
            const double cellWidth = static_cast<double>(next - x) / kOne;
            x = next;
            const bool selected = i >= selectFrom && i < selectTo;
            const QRectF cell(left, top, cellWidth, height);
            if (selected) painter.fillRect(cell, colors.brush(QPalette::Highlight));
            if (c == u'\t') continue;
            const bool pairFirst = QChar::isHighSurrogate(c) && i + 1 < end &&
                                   QChar::isLowSurrogate(data[i + 1]);
            const bool pairSecond = QChar::isLowSurrogate(c) && i > buffer.lineStart(line) &&
                                    QChar::isHighSurrogate(data[i - 1]);
            if (pairSecond) continue;
            if (CharacterWidths::IsFramed(c) || (QChar::isSurrogate(c) && !pairFirst)) {
                // Control characters and surrogate halves without a partner
                // are drawn as what they are: a framed abbreviation.
                painter.setPen(selected ? selectedColor : frameColor);
                painter.drawRoundedRect(cell.adjusted(1.5, 2.5, -1.5, -2.5), 2, 2);
                painter.setFont(widths.smallFont());
                painter.drawText(cell, Qt::AlignCenter, CharacterWidths::Abbreviation(c));
                painter.setFont(widths.font());
                continue;
            }
            painter.setPen(selected ? selectedColor : textColor);
            painter.drawText(QPointF(left, baseline),
                             QString(reinterpret_cast<const QChar*>(data + i), pairFirst ? 2 : 1));
        }
        // A selected line break shows as a short selected stretch.
        if (i == end && end < size && selectFrom <= end && selectTo > end &&
            d->viewportX(x) <= right)
            painter.fillRect(QRectF(d->viewportX(x), top,
                                    static_cast<double>(widths.breakWidth()) / kOne, height),
                             colors.brush(QPalette::Highlight));
    }

    if (isCaretShown() || d->dropPosition >= 0) {
        const qsizetype caret = d->dropPosition >= 0 ? d->dropPosition : d->control.position();
        const qsizetype caretLine = buffer.lineOf(caret);
        const int top = d->lineTop(caretLine);
        if (top + height > 0 && top < viewport()->height())
            painter.fillRect(QRectF(std::floor(d->viewportX(buffer.xOf(caret))), top, 1, height),
                             textColor);
    }
}

// ---------------------------------------------------------------------------
// Keys, mouse, input methods and focus

bool CodeTextBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The box's own keys and typed text go to the box, not to shortcuts.
        if (d->control.isOwnShortcut(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::FontChange) {
        try {
            d->control.setWidths(std::make_shared<const CharacterWidths>(font()));
        } catch (const std::bad_alloc&) {
            QApplication::beep();
        }
        d->updateScrollBars();
        viewport()->update();
    } else if (event->type() == QEvent::Paint && hasFocus()) {
        // The frame shows the focus in the highlight colour, also in styles
        // that draw a scroll area's frame alike with and without it.
        const bool handled = QAbstractScrollArea::event(event);
        if (frameWidth() > 0) {
            QPainter painter(this);
            painter.setPen(palette().color(QPalette::Highlight));
            painter.drawRect(frameRect().adjusted(0, 0, -1, -1));
        }
        return handled;
    }
    return QAbstractScrollArea::event(event);
}

void CodeTextBox::keyPressEvent(QKeyEvent* event) {
    // The page keys move the view, as in a plain text edit; the control does
    // the rest.
    const struct {
        QKeySequence::StandardKey key;
        bool down;
        bool select;
    } kPages[] = {{QKeySequence::SelectPreviousPage, false, true},
                  {QKeySequence::SelectNextPage, true, true},
                  {QKeySequence::MoveToPreviousPage, false, false},
                  {QKeySequence::MoveToNextPage, true, false}};
    for (const auto& page : kPages) {
        if (event->matches(page.key)) {
            event->accept();
            d->pageUpDown(page.down, page.select);
            return;
        }
    }
    if (d->control.keyPress(event))
        event->accept();
    else
        event->ignore();
}

void CodeTextBox::inputMethodEvent(QInputMethodEvent* event) { d->control.inputMethod(event); }

QVariant CodeTextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle: {
        const qsizetype at =
            query == Qt::ImCursorRectangle ? d->control.position() : d->control.anchor();
        const QRectF cell = characterRect(at);
        return QRect(viewport()->mapTo(this, QPoint(static_cast<int>(cell.left()),
                                                    static_cast<int>(cell.top()))),
                     QSize(1, d->lineHeight()));
    }
    case Qt::ImFont: return font();
    case Qt::ImInputItemClipRectangle: return QAbstractScrollArea::inputMethodQuery(query);
    default: {
        const QVariant answer = d->control.inputMethodQuery(query);
        return answer.isValid() ? answer : QAbstractScrollArea::inputMethodQuery(query);
    }
    }
}

void CodeTextBox::mousePressEvent(QMouseEvent* event) {
    if (!d->control.mousePress(d->pointer(event))) event->ignore();
}

void CodeTextBox::mouseMoveEvent(QMouseEvent* event) {
    d->control.mouseMove(d->pointer(event));
    if (!(event->buttons() & Qt::LeftButton)) return;
    if (event->source() == Qt::MouseEventNotSynthesized) {
        d->dragPoint = event->position().toPoint();
        if (viewport()->rect().contains(d->dragPoint))
            d->autoScrollTimer.stop();
        else if (!d->autoScrollTimer.isActive())
            d->autoScrollTimer.start(100, this);
    }
}

void CodeTextBox::mouseReleaseEvent(QMouseEvent* event) {
    d->control.mouseRelease(d->pointer(event));
    // A drag that scrolled leaves the caret in view.
    if (event->source() == Qt::MouseEventNotSynthesized && d->autoScrollTimer.isActive()) {
        d->autoScrollTimer.stop();
        d->ensureVisible(d->control.position());
    }
}

void CodeTextBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!d->control.mouseDoubleClick(d->pointer(event))) event->ignore();
}

QMenu* CodeTextBox::createStandardContextMenu() {
    // The menu of Qt's text edits, with its words, letters and shortcuts.
    auto* menu = new QMenu(this);
    TextControl& control = d->control;
    const bool editable = !control.isReadOnly();
    const bool selected = control.hasSelection();
    QAction* action = nullptr;
    if (editable) {
        action = menu->addAction(MenuText("&Undo", QKeySequence::Undo), &control, &TextControl::undo);
        action->setEnabled(d->buffer.canUndo());
        action->setObjectName(QStringLiteral("edit-undo"));
        action = menu->addAction(MenuText("&Redo", QKeySequence::Redo), &control, &TextControl::redo);
        action->setEnabled(d->buffer.canRedo());
        action->setObjectName(QStringLiteral("edit-redo"));
        menu->addSeparator();
        action = menu->addAction(MenuText("Cu&t", QKeySequence::Cut), &control, &TextControl::cut);
        action->setEnabled(selected);
        action->setObjectName(QStringLiteral("edit-cut"));
    }
    action = menu->addAction(MenuText("&Copy", QKeySequence::Copy), &control, &TextControl::copy);
    action->setEnabled(selected);
    action->setObjectName(QStringLiteral("edit-copy"));
    if (editable) {
        action = menu->addAction(MenuText("&Paste", QKeySequence::Paste), &control,
                                 [&control] { control.paste(); });
        action->setEnabled(control.canPaste());
        action->setObjectName(QStringLiteral("edit-paste"));
        action = menu->addAction(MenuText("Delete"), &control, &TextControl::removeSelection);
        action->setEnabled(selected);
        action->setObjectName(QStringLiteral("edit-delete"));
    }
    menu->addSeparator();
    action = menu->addAction(MenuText("Select All", QKeySequence::SelectAll), &control,
                             &TextControl::selectAll);
    action->setEnabled(d->buffer.size() > 0);
    action->setObjectName(QStringLiteral("select-all"));
    return menu;
}

void CodeTextBox::contextMenuEvent(QContextMenuEvent* event) {
    try {
        QMenu* menu = createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    } catch (const std::bad_alloc&) {
        QApplication::beep();
    }
}

void CodeTextBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!d->control.canDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    d->dropPosition = -1;
    event->acceptProposedAction();
}

void CodeTextBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!d->control.canDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    // The caret shows where the text would go.
    d->dropPosition = positionAt(event->position().toPoint());
    viewport()->update();
    event->acceptProposedAction();
}

void CodeTextBox::dragLeaveEvent(QDragLeaveEvent*) {
    d->dropPosition = -1;
    viewport()->update();
}

void CodeTextBox::dropEvent(QDropEvent* event) {
    d->dropPosition = -1;
    const bool own = event->source() == this || event->source() == viewport();
    const bool move = own && event->dropAction() == Qt::MoveAction;
    if (!d->control.drop(event->mimeData(), positionAt(event->position().toPoint()), move)) {
        event->ignore();
        viewport()->update();
        return;
    }
    d->ensureVisible(d->control.position());
    event->acceptProposedAction();
}

void CodeTextBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    d->restartBlinking();
    update(); // the focus frame
}

void CodeTextBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    d->blinkTimer.stop();
    d->caretOn = false;
    viewport()->update();
    update(); // the focus frame
}

void CodeTextBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == d->blinkTimer.timerId()) {
        d->caretOn = !d->caretOn;
        if (d->control.hasSelection() &&
            !style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected, nullptr, this))
            d->caretOn = false;
        viewport()->update();
    } else if (event->timerId() == d->autoScrollTimer.timerId()) {
        d->autoScroll();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

} // namespace tolvana::ui
