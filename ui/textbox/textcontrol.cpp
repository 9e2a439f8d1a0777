#include "ui/textbox/textcontrol.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <new>

namespace tolvana::ui {
namespace {

// The characters at which Qt's text edits end a word besides white space.
bool IsWordSeparator(char16_t c) {
    switch (c) {
    case u'.': case u',': case u'?': case u'!': case u'@': case u'#': case u'$': case u':':
    case u';': case u'-': case u'<': case u'>': case u'[': case u']': case u'(': case u')':
    case u'{': case u'}': case u'=': case u'/': case u'+': case u'%': case u'&': case u'^':
    case u'*': case u'\'': case u'"': case u'`': case u'~': case u'|': case u'\\':
        return true;
    default: return false;
    }
}

// The keys of a text edit that no shortcut of the window may take: plain
// keys, and the editing and moving keys with modifiers.
bool IsCommonTextEditShortcut(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier ||
        modifiers == Qt::KeypadModifier) {
        if (key->key() < Qt::Key_Escape) return true;
        switch (key->key()) {
        case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Delete: case Qt::Key_Home:
        case Qt::Key_End: case Qt::Key_Backspace: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Tab:
            return true;
        default: return false;
        }
    }
    static const QKeySequence::StandardKey kOwn[] = {
        QKeySequence::Copy,
        QKeySequence::Paste,
        QKeySequence::Cut,
        QKeySequence::Redo,
        QKeySequence::Undo,
        QKeySequence::MoveToNextWord,
        QKeySequence::MoveToPreviousWord,
        QKeySequence::MoveToStartOfDocument,
        QKeySequence::MoveToEndOfDocument,
        QKeySequence::SelectNextWord,
        QKeySequence::SelectPreviousWord,
        QKeySequence::SelectStartOfLine,
        QKeySequence::SelectEndOfLine,
        QKeySequence::SelectStartOfBlock,
        QKeySequence::SelectEndOfBlock,
        QKeySequence::SelectStartOfDocument,
        QKeySequence::SelectEndOfDocument,
        QKeySequence::SelectAll};
    return std::any_of(std::begin(kOwn), std::end(kOwn),
                       [key](QKeySequence::StandardKey own) { return key->matches(own); });
}

// Whether a key's text is typed into a text edit. Ctrl and Ctrl+Shift keys
// type nothing, but Ctrl+Alt ones do: that is AltGr on Windows.
bool IsTypedText(const QKeyEvent* key) {
    const QString text = key->text();
    if (text.isEmpty()) return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format) return true;
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    if (c.isPrint() || c.category() == QChar::Other_PrivateUse) return true;
    return c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
}

// A place in a line where a grapheme surely begins: the line's start, or a
// character from the Latin ranges that nothing joins to what comes before.
bool SafeStart(const QString& text, qsizetype position, qsizetype lineStart) {
    if (position <= lineStart) return true;
    const char16_t c = text[position].unicode();
    return c < 0x0300 && c != u'\n';
}

// How far either side of the caret an input method sees of a long line.
constexpr qsizetype kSurrounding = 500;

} // namespace

TextControl::TextControl(TextBuffer& buffer, QObject* parent) : QObject(parent), buffer_(buffer) {}

QString TextControl::selectedText() const {
    return buffer_.text().mid(selectionStart(), selectionEnd() - selectionStart());
}

// ---------------------------------------------------------------------------
// The caret

void TextControl::moveTo(qsizetype anchor, qsizetype caret, bool reveal) {
    const qsizetype size = buffer_.size();
    anchor_ = buffer_.outsideBreak(std::clamp<qsizetype>(anchor, 0, size));
    caret_ = buffer_.outsideBreak(std::clamp<qsizetype>(caret, 0, size));
    buffer_.endTyping();
    emit cursorChanged(reveal);
}

void TextControl::setPosition(qsizetype position, bool keepAnchor) {
    wantedX_ = -1;
    if (!keepAnchor) doubleClickWord_ = tripleClickLine_ = {};
    moveTo(keepAnchor ? anchor_ : position, position, true);
}

void TextControl::select(qsizetype anchor, qsizetype position) {
    wantedX_ = -1;
    moveTo(anchor, position, true);
}

void TextControl::selectAll() {
    wantedX_ = -1;
    moveTo(0, buffer_.size(), false);
}

// ---------------------------------------------------------------------------
// The program's changes

void TextControl::setContent(TextBuffer::Content content) { newText(std::move(content), false); }

bool TextControl::replaceContent(TextBuffer::Content content) {
    if (content.text == buffer_.text()) return false;
    newText(std::move(content), true);
    return true;
}

void TextControl::newText(TextBuffer::Content content, bool undoable) {
    // The old text is shared, not copied, for those who hear of the change.
    Change change{0, buffer_.text(), {}, false};
    if (undoable)
        buffer_.replaceContent(std::move(content));
    else
        buffer_.setContent(std::move(content));
    change.inserted = buffer_.text();
    caret_ = anchor_ = 0;
    wantedX_ = -1;
    doubleClickWord_ = tripleClickLine_ = {};
    mousePressed_ = false;
    emit textChanged(change);
    emit cursorChanged(false);
}

void TextControl::setWidths(std::shared_ptr<const CharacterWidths> widths) {
    buffer_.setWidths(std::move(widths));
}

// ---------------------------------------------------------------------------
// Boundaries

bool TextControl::atSeparator(qsizetype position) const {
    return IsWordSeparator(buffer_.at(position));
}

bool TextControl::atSpace(qsizetype position) const { return QChar::isSpace(buffer_.at(position)); }

qsizetype TextControl::nextCharacter(qsizetype position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype end = buffer_.lineEnd(line);
    if (position >= end) return line + 1 < buffer_.lineCount() ? buffer_.lineStart(line + 1) : end;
    const QChar* data = buffer_.text().constData();
    // Graphemes are short: look a little ahead, further only if need be.
    for (qsizetype length = 32;; length *= 2) {
        const qsizetype windowEnd = std::min(end, position + length);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, data + position,
                                   windowEnd - position);
        const qsizetype next = finder.toNextBoundary();
        if (next > 0 && (position + next < windowEnd || windowEnd == end)) return position + next;
        if (windowEnd == end) return end;
    }
}

qsizetype TextControl::previousCharacter(qsizetype position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype start = buffer_.lineStart(line);
    if (position <= start) return line > 0 ? buffer_.lineEnd(line - 1) : 0;
    const QString& text = buffer_.text();
    qsizetype from = std::max(start, position - 32);
    while (!SafeStart(text, from, start)) --from;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from,
                               position - from);
    finder.setPosition(position - from);
    return from + std::max<qsizetype>(0, finder.toPreviousBoundary());
}

qsizetype TextControl::graphemeStart(qsizetype position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype start = buffer_.lineStart(line);
    const qsizetype end = buffer_.lineEnd(line);
    if (position <= start || position >= end) return position;
    const QString& text = buffer_.text();
    qsizetype from = std::max(start, position - 32);
    while (!SafeStart(text, from, start)) --from;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from,
                               std::min(end, position + 32) - from);
    finder.setPosition(position - from);
    if (finder.isAtBoundary()) return position;
    return from + std::max<qsizetype>(0, finder.toPreviousBoundary());
}

// Words as Qt's text edits see them: a run of separators, or a run of other
// characters up to white space or a separator, with the white space after
// it. A move at the end of a line goes over the line break.
qsizetype TextControl::nextWord(qsizetype position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype end = buffer_.lineEnd(line);
    if (position >= end) return line + 1 < buffer_.lineCount() ? buffer_.lineStart(line + 1) : end;
    if (atSeparator(position)) {
        ++position;
        while (position < end && atSeparator(position)) ++position;
    } else {
        while (position < end && !atSpace(position) && !atSeparator(position)) ++position;
    }
    while (position < end && atSpace(position)) ++position;
    return position;
}

qsizetype TextControl::previousWord(qsizetype position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype start = buffer_.lineStart(line);
    if (position <= start) return line > 0 ? buffer_.lineEnd(line - 1) : 0;
    while (position > start && atSpace(position - 1)) --position;
    if (position > start && atSeparator(position - 1)) {
        --position;
        while (position > start && atSeparator(position - 1)) --position;
    } else {
        while (position > start && !atSpace(position - 1) && !atSeparator(position - 1))
            --position;
    }
    return position;
}

bool TextControl::startOfWord(qsizetype& position) const {
    const qsizetype line = buffer_.lineOf(position);
    const qsizetype start = buffer_.lineStart(line);
    const qsizetype end = buffer_.lineEnd(line);
    if (position == start) return false;
    if (position == end && (atSpace(position - 1) || atSeparator(position - 1))) return false;
    // Qt looks from the character after the position, so that a position
    // at a word's start stays there.
    const qsizetype from = position < end ? position + 1 : position;
    position = previousWord(from);
    return position != from;
}

bool TextControl::endOfWord(qsizetype& position) const {
    const qsizetype end = buffer_.lineEnd(buffer_.lineOf(position));
    if (position >= end) return false;
    qsizetype to = position;
    if (atSeparator(to)) {
        ++to;
        while (to < end && atSeparator(to)) ++to;
    } else {
        while (to < end && !atSpace(to) && !atSeparator(to)) ++to;
    }
    const bool moved = to != position;
    position = to;
    return moved;
}

qsizetype TextControl::lineSelectionEnd(qsizetype line) const {
    return line + 1 < buffer_.lineCount() ? buffer_.lineStart(line + 1) : buffer_.lineEnd(line);
}

// ---------------------------------------------------------------------------
// Editing

QString TextControl::withOwnBreaks(const QString& text) const {
    if (!text.contains(u'\r') && !text.contains(u'\n') && !text.contains(QChar::LineSeparator) &&
        !text.contains(QChar::ParagraphSeparator))
        return text;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar lineBreak :
         {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        lines.replace(lineBreak, u'\n');
    if (buffer_.lineBreak() == TextBuffer::LineBreak::CrLf)
        lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return lines;
}

QString TextControl::fromShown(const QString& text) const {
    QString own = withOwnBreaks(text);
    for (QChar& c : own) c = TextBuffer::FromPicture(c);
    return own;
}

template <class Edit> bool TextControl::edit(Edit change) {
    if (readOnly_) return false;
    try {
        change();
        return true;
    } catch (const std::bad_alloc&) {
        // Whole or nothing: the text is as it was.
        emit outOfMemory();
        return false;
    }
}

void TextControl::edited(const TextBuffer::Edit& edit, qsizetype caret, qsizetype anchor) {
    const qsizetype size = buffer_.size();
    caret_ = buffer_.outsideBreak(std::clamp<qsizetype>(caret, 0, size));
    anchor_ = buffer_.outsideBreak(std::clamp<qsizetype>(anchor, 0, size));
    wantedX_ = -1;
    doubleClickWord_ = tripleClickLine_ = {};
    emit textChanged({edit.position, edit.removed, edit.inserted, true});
    emit cursorChanged(true);
}

bool TextControl::replace(qsizetype from, qsizetype to, const QString& text) {
    return edit([&] {
        const qsizetype size = buffer_.size();
        from = buffer_.outsideBreak(std::clamp<qsizetype>(from, 0, size));
        to = buffer_.outsideBreak(std::clamp<qsizetype>(to, 0, size));
        if (to < from) std::swap(from, to);
        if (from == to && text.isEmpty()) return;
        QString removed = buffer_.replace(from, to, text);
        const qsizetype end = from + text.size();
        edited({from, std::move(removed), text, {}}, end, end);
    });
}

bool TextControl::insert(const QString& text, bool typing) {
    return edit([&] {
        const qsizetype from = selectionStart();
        const qsizetype to = selectionEnd();
        if (from == to && text.isEmpty()) return;
        QString removed = buffer_.replace(from, to, text, typing && from == to);
        const qsizetype end = from + text.size();
        edited({from, std::move(removed), text, {}}, end, end);
    });
}

void TextControl::removeSelection() {
    if (hasSelection()) insert(QString(), false);
}

void TextControl::undo() {
    edit([this] { tookBack(buffer_.undo()); });
}

void TextControl::redo() {
    edit([this] { tookBack(buffer_.redo()); });
}

void TextControl::tookBack(const TextBuffer::Edit* taken) {
    if (!taken) return;
    if (taken->other) {
        // A whole text came back (or went again): told as the change of the
        // whole, with the caret at its start.
        const QString removed = taken->other->text;
        edited({0, removed, buffer_.text(), {}}, 0, 0);
        return;
    }
    const TextBuffer::Edit change = *taken;
    const qsizetype end = change.position + change.inserted.size();
    edited(change, end, end);
}

void TextControl::copy() {
    if (!hasSelection()) return;
    try {
        QApplication::clipboard()->setText(selectedText());
    } catch (const std::bad_alloc&) {
        emit outOfMemory();
    }
}

void TextControl::cut() {
    if (readOnly_ || !hasSelection()) return;
    copy();
    removeSelection();
}

void TextControl::paste(QClipboard::Mode mode) {
    if (readOnly_) return;
    try {
        const QString text = QApplication::clipboard()->text(mode);
        if (!text.isEmpty()) insert(withOwnBreaks(text), false);
    } catch (const std::bad_alloc&) {
        emit outOfMemory();
    }
}

bool TextControl::canPaste() const {
    if (readOnly_) return false;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

void TextControl::setClipboardSelection() {
    QClipboard* clipboard = QApplication::clipboard();
    if (!hasSelection() || !clipboard->supportsSelection()) return;
    try {
        clipboard->setText(selectedText(), QClipboard::Selection);
    } catch (const std::bad_alloc&) {
    }
}

// ---------------------------------------------------------------------------
// Keys

bool TextControl::isOwnShortcut(const QKeyEvent* event) const {
    if (readOnly_) return false;
    // A key that is no key at all, such as AltGr under Wine, would make the
    // window's shortcuts wait for the next key and take it.
    if (event->key() == 0) return true;
    return IsCommonTextEditShortcut(event) || IsTypedText(event);
}

bool TextControl::cursorMoveKey(QKeyEvent* e) {
    enum class Move { Right, Left, WordRight, WordLeft, StartOfLine, EndOfLine, Start, End, Up, Down };
    // The moving keys of Qt's text control; a line has no wrapped parts, so
    // the line and the block are one.
    static const struct {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    } kMoves[] = {
        {QKeySequence::MoveToNextChar, Move::Right, false},
        {QKeySequence::MoveToPreviousChar, Move::Left, false},
        {QKeySequence::SelectNextChar, Move::Right, true},
        {QKeySequence::SelectPreviousChar, Move::Left, true},
        {QKeySequence::SelectNextWord, Move::WordRight, true},
        {QKeySequence::SelectPreviousWord, Move::WordLeft, true},
        {QKeySequence::SelectStartOfLine, Move::StartOfLine, true},
        {QKeySequence::SelectEndOfLine, Move::EndOfLine, true},
        {QKeySequence::SelectStartOfBlock, Move::StartOfLine, true},
        {QKeySequence::SelectEndOfBlock, Move::EndOfLine, true},
        {QKeySequence::SelectStartOfDocument, Move::Start, true},
        {QKeySequence::SelectEndOfDocument, Move::End, true},
        {QKeySequence::SelectPreviousLine, Move::Up, true},
        {QKeySequence::SelectNextLine, Move::Down, true},
        {QKeySequence::MoveToNextWord, Move::WordRight, false},
        {QKeySequence::MoveToPreviousWord, Move::WordLeft, false},
        {QKeySequence::MoveToEndOfBlock, Move::EndOfLine, false},
        {QKeySequence::MoveToStartOfBlock, Move::StartOfLine, false},
        {QKeySequence::MoveToNextLine, Move::Down, false},
        {QKeySequence::MoveToPreviousLine, Move::Up, false},
        {QKeySequence::MoveToStartOfLine, Move::StartOfLine, false},
        {QKeySequence::MoveToEndOfLine, Move::EndOfLine, false},
        {QKeySequence::MoveToStartOfDocument, Move::Start, false},
        {QKeySequence::MoveToEndOfDocument, Move::End, false},
    };
    const auto found = std::find_if(std::begin(kMoves), std::end(kMoves),
                                    [e](const auto& move) { return e->matches(move.key); });
    if (found == std::end(kMoves)) return false;
    Move op = found->move;
    const bool keep = found->select;
    // Selecting up from the first line or down from the last goes to the
    // text's start or end.
    if (keep && op == Move::Up && buffer_.lineOf(caret_) == 0) op = Move::Start;
    if (keep && op == Move::Down && buffer_.lineOf(caret_) == buffer_.lineCount() - 1)
        op = Move::End;

    const qsizetype line = buffer_.lineOf(caret_);
    qsizetype to = caret_;
    switch (op) {
    case Move::Right:
        to = !keep && hasSelection() ? selectionEnd() : nextCharacter(caret_);
        break;
    case Move::Left:
        to = !keep && hasSelection() ? selectionStart() : previousCharacter(caret_);
        break;
    case Move::WordRight: to = nextWord(caret_); break;
    case Move::WordLeft: to = previousWord(caret_); break;
    case Move::StartOfLine: to = buffer_.lineStart(line); break;
    case Move::EndOfLine: to = buffer_.lineEnd(line); break;
    case Move::Start: to = 0; break;
    case Move::End: to = buffer_.size(); break;
    case Move::Up:
    case Move::Down:
        // Up on the first line and down on the last do nothing at all.
        moveLines(op == Move::Up ? -1 : 1, keep, true);
        return true;
    }
    wantedX_ = -1;
    moveTo(keep ? anchor_ : to, to, true);
    return true;
}

bool TextControl::moveLines(qsizetype lines, bool keepAnchor, bool reveal) {
    const qsizetype target = buffer_.lineOf(caret_) + lines;
    if (target < 0 || target >= buffer_.lineCount()) return false;
    if (wantedX_ < 0) wantedX_ = buffer_.xOf(caret_);
    const Fixed x = wantedX_;
    const qsizetype to = graphemeStart(buffer_.positionInLine(target, x));
    moveTo(keepAnchor ? anchor_ : to, to, reveal);
    wantedX_ = x;
    return true;
}

bool TextControl::keyPress(QKeyEvent* e) {
    if (e->matches(QKeySequence::SelectAll)) {
        selectAll();
        setClipboardSelection();
        return true;
    }
    if (e->matches(QKeySequence::Copy)) {
        copy();
        return true;
    }
    if (cursorMoveKey(e)) {
        setClipboardSelection();
        return true;
    }
    if (readOnly_) return false;

    const auto deletePrevious = [this] {
        if (hasSelection()) {
            removeSelection();
            return;
        }
        if (caret_ == 0) return;
        const qsizetype line = buffer_.lineOf(caret_);
        qsizetype from = caret_ - 1;
        if (caret_ == buffer_.lineStart(line))
            from = buffer_.lineEnd(line - 1); // the whole line break
        else if (QChar::isLowSurrogate(buffer_.at(from)) && from > buffer_.lineStart(line) &&
                 QChar::isHighSurrogate(buffer_.at(from - 1)))
            --from;
        replace(from, caret_, QString());
    };
    const auto selectAndRemove = [this](qsizetype to) {
        if (!hasSelection()) moveTo(anchor_, to, false);
        removeSelection();
    };

    const Qt::KeyboardModifiers modifiers = e->modifiers();
    if (e->key() == Qt::Key_Backspace &&
        !(modifiers & ~(Qt::ShiftModifier | Qt::GroupSwitchModifier))) {
        deletePrevious();
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Every Enter, with or without modifiers, makes an ordinary line break.
        insert(buffer_.breakText(), false);
    } else if (e->matches(QKeySequence::Undo)) {
        undo();
    } else if (e->matches(QKeySequence::Redo)) {
        redo();
    } else if (e->matches(QKeySequence::Cut)) {
        cut();
    } else if (e->matches(QKeySequence::Paste)) {
        const bool selection = QApplication::clipboard()->supportsSelection() &&
                               modifiers == (Qt::ControlModifier | Qt::ShiftModifier) &&
                               e->key() == Qt::Key_Insert;
        paste(selection ? QClipboard::Selection : QClipboard::Clipboard);
    } else if (e->matches(QKeySequence::Delete)) {
        if (hasSelection())
            removeSelection();
        else
            replace(caret_, nextCharacter(caret_), QString());
    } else if (e->matches(QKeySequence::Backspace)) {
        deletePrevious();
    } else if (e->matches(QKeySequence::DeleteEndOfWord)) {
        selectAndRemove(nextWord(caret_));
    } else if (e->matches(QKeySequence::DeleteStartOfWord)) {
        selectAndRemove(previousWord(caret_));
    } else if (e->matches(QKeySequence::DeleteEndOfLine)) {
        moveTo(anchor_, buffer_.lineEnd(buffer_.lineOf(caret_)), false);
        removeSelection();
    } else if (e->key() == Qt::Key_Tab && modifiers == Qt::ControlModifier) {
        // Tab moves to the next control; Ctrl+Tab types a tab.
        insert(QStringLiteral("\t"), true);
    } else if (IsTypedText(e)) {
        insert(withOwnBreaks(e->text()), true);
    } else {
        return false;
    }
    setClipboardSelection();
    return true;
}

// ---------------------------------------------------------------------------
// Input methods

qsizetype TextControl::surroundingStart() const {
    const qsizetype start = buffer_.lineStart(buffer_.lineOf(caret_));
    return std::max(start, caret_ - kSurrounding);
}

qsizetype TextControl::surroundingEnd() const {
    return std::min(buffer_.lineEnd(buffer_.lineOf(caret_)), caret_ + kSurrounding);
}

void TextControl::inputMethod(QInputMethodEvent* e) {
    if (readOnly_) {
        e->ignore();
        return;
    }
    const QString commit = withOwnBreaks(e->commitString());
    if (!commit.isEmpty() || e->replacementLength() > 0) {
        if (e->replacementStart() == 0 && e->replacementLength() == 0) {
            insert(commit, true);
        } else {
            removeSelection();
            const qsizetype from = caret_ + e->replacementStart();
            replace(from, from + e->replacementLength(), commit);
        }
    }
    for (const QInputMethodEvent::Attribute& attribute : e->attributes()) {
        if (attribute.type != QInputMethodEvent::Selection) continue;
        const qsizetype from = surroundingStart() + attribute.start;
        select(from, from + attribute.length);
    }
    e->accept();
}

QVariant TextControl::inputMethodQuery(Qt::InputMethodQuery query) const {
    const qsizetype start = surroundingStart();
    const qsizetype end = surroundingEnd();
    const QString& text = buffer_.text();
    switch (query) {
    case Qt::ImEnabled: return !readOnly_;
    case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImCursorPosition: return static_cast<int>(caret_ - start);
    case Qt::ImAnchorPosition:
        return static_cast<int>(std::clamp<qsizetype>(anchor_, start, end) - start);
    case Qt::ImSurroundingText: return text.mid(start, end - start);
    case Qt::ImTextBeforeCursor: return text.mid(start, caret_ - start);
    case Qt::ImTextAfterCursor: return text.mid(caret_, end - caret_);
    case Qt::ImCurrentSelection:
        return text.mid(selectionStart(), std::min<qsizetype>(selectionEnd() - selectionStart(),
                                                                2 * kSurrounding));
    case Qt::ImAbsolutePosition: return static_cast<qlonglong>(buffer_.shownOffset(caret_));
    default: return {};
    }
}

// ---------------------------------------------------------------------------
// The mouse, as in Qt's text control

bool TextControl::mousePress(const Pointer& pointer) {
    pressPoint_ = pointer.point;
    mightStartDrag_ = false;
    if (pointer.button != Qt::LeftButton) return false;
    mousePressed_ = true;
    if (tripleClickTimer_.isActive() &&
        (pointer.point - tripleClickPoint_).manhattanLength() < QApplication::startDragDistance()) {
        // The third click of three selects the line with its break.
        const qsizetype line = buffer_.lineOf(caret_);
        const qsizetype from = buffer_.lineStart(line);
        const qsizetype to = lineSelectionEnd(line);
        wantedX_ = -1;
        moveTo(from, to, true);
        tripleClickLine_ = from != to ? Stretch{from, to} : Stretch{};
        tripleClickTimer_.stop();
        return true;
    }
    const qsizetype position = pointer.position;
    if (pointer.modifiers == Qt::ShiftModifier) {
        if (tripleClickLine_.valid())
            extendLinewise(position);
        else if (doubleClickWord_.valid())
            extendWordwise(position, pointer.x);
        else
            setPosition(position, true);
    } else {
        // A press on the selection may be the start of dragging it; the
        // release puts the caret there.
        if (hasSelection() && position >= selectionStart() && position <= selectionEnd()) {
            mightStartDrag_ = true;
            return true;
        }
        setPosition(position);
    }
    return true;
}

void TextControl::mouseMove(const Pointer& pointer) {
    if (!(pointer.buttons & Qt::LeftButton)) return;
    if (!(mousePressed_ || !readOnly_ || mightStartDrag_ || doubleClickWord_.valid() ||
          tripleClickLine_.valid()))
        return;
    if (mightStartDrag_) {
        if ((pointer.point - pressPoint_).manhattanLength() > QApplication::startDragDistance()) {
            mousePressed_ = false;
            emit dragRequested();
        }
        return;
    }
    if (tripleClickLine_.valid()) {
        extendLinewise(pointer.position);
    } else if (doubleClickWord_.valid()) {
        extendWordwise(pointer.position, pointer.x);
    } else if (mousePressed_) {
        wantedX_ = -1;
        moveTo(anchor_, pointer.position, false);
    }
}

void TextControl::mouseRelease(const Pointer& pointer) {
    if (mightStartDrag_ && (pointer.button & Qt::LeftButton)) {
        // A click on the selection, not a drag: the caret goes there.
        mousePressed_ = false;
        wantedX_ = -1;
        moveTo(pointer.position, pointer.position, false);
    }
    if (mousePressed_) {
        mousePressed_ = false;
        setClipboardSelection();
    } else if (pointer.button == Qt::MiddleButton && !readOnly_ &&
               QApplication::clipboard()->supportsSelection()) {
        // The middle button pastes the selection of X11 where it is.
        wantedX_ = -1;
        moveTo(pointer.position, pointer.position, true);
        paste(QClipboard::Selection);
    }
}

bool TextControl::mouseDoubleClick(const Pointer& pointer) {
    if (pointer.button != Qt::LeftButton) return false;
    mightStartDrag_ = false;
    setPosition(pointer.position);
    const qsizetype line = buffer_.lineOf(caret_);
    bool selected = false;
    if (buffer_.lineEnd(line) > buffer_.lineStart(line)) {
        // The word under the pointer, as Qt's text cursor selects it.
        qsizetype from = caret_;
        startOfWord(from);
        qsizetype to = from;
        endOfWord(to);
        moveTo(from, to, false);
        selected = true;
    }
    doubleClickWord_ = hasSelection() ? Stretch{anchor_, caret_} : Stretch{};
    tripleClickPoint_ = pointer.point;
    tripleClickTimer_.start(QApplication::doubleClickInterval(), this);
    if (selected) setClipboardSelection();
    return true;
}

bool TextControl::canDrop(const QMimeData* data) const {
    return !readOnly_ && data && data->hasText();
}

bool TextControl::drop(const QMimeData* data, qsizetype position, bool moveOwnSelection) {
    if (!canDrop(data)) return false;
    return edit([&] {
        const QString text = withOwnBreaks(data->text());
        position = buffer_.outsideBreak(std::clamp<qsizetype>(position, 0, buffer_.size()));
        if (moveOwnSelection && hasSelection()) {
            // The place moves with the text before it; inside the selection
            // it comes to where the selection was.
            const qsizetype start = selectionStart();
            const qsizetype end = selectionEnd();
            if (position > end)
                position -= end - start;
            else if (position > start)
                position = start;
            removeSelection();
        }
        wantedX_ = -1;
        moveTo(position, position, false);
        insert(text, false);
    });
}

void TextControl::extendWordwise(qsizetype position, Fixed x) {
    const Stretch word = doubleClickWord_;
    // Inside the word first selected, that word stays selected.
    if (position >= word.start() && position <= word.end()) {
        moveTo(word.anchor, word.caret, false);
        return;
    }
    qsizetype wordStart = position;
    if (!startOfWord(wordStart)) return;
    qsizetype wordEnd = wordStart;
    if (!endOfWord(wordEnd)) return;
    if (buffer_.lineOf(wordEnd) != buffer_.lineOf(wordStart) || wordEnd == wordStart) return;
    const Fixed startX = buffer_.xOf(wordStart);
    const Fixed endX = buffer_.xOf(wordEnd);
    if (x < startX || x > endX) return;
    // The word first selected stays selected, and the selection runs to the
    // nearer end of the word under the pointer.
    const qsizetype anchor = position < word.caret ? word.end() : word.start();
    wantedX_ = -1;
    moveTo(anchor, x - startX < endX - x ? wordStart : wordEnd, false);
    setClipboardSelection();
}

void TextControl::extendLinewise(qsizetype position) {
    const Stretch line = tripleClickLine_;
    if (position >= line.start() && position <= line.end()) {
        moveTo(line.anchor, line.caret, false);
        return;
    }
    wantedX_ = -1;
    const qsizetype target = buffer_.lineOf(position);
    if (position < line.caret)
        moveTo(line.end(), buffer_.lineStart(target), false);
    else
        moveTo(line.start(), lineSelectionEnd(target), false);
    setClipboardSelection();
}

void TextControl::timerEvent(QTimerEvent* event) {
    if (event->timerId() == tripleClickTimer_.timerId())
        tripleClickTimer_.stop();
    else
        QObject::timerEvent(event);
}

} // namespace tolvana::ui
