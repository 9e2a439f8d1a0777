#include "ui/textbox/textbuffer.h"

#include <QStringView>

#include <algorithm>
#include <climits>
#include <limits>
#include <new>
#include <utility>

namespace tolvana::ui {
namespace {

using Fixed = TextBuffer::Fixed;
using Mark = TextBuffer::Mark;

constexpr char16_t kPictureBase = 0x2400;   // U+2400 SYMBOL FOR NULL .. U+241F
constexpr char16_t kDeletePicture = 0x2421; // U+2421 SYMBOL FOR DELETE
constexpr char16_t kDelete = 0x7F;
constexpr Fixed kNoLimit = std::numeric_limits<Fixed>::max();

bool IsHiddenControl(char16_t c) { return (c < 0x20 && c != u'\t') || c == kDelete; }

QChar PictureOf(char16_t c) { return QChar(c == kDelete ? kDeletePicture : kPictureBase + c); }

// A width in whole pixels, rounded up, as the line index keeps it.
std::int32_t WholePixels(Fixed x) {
    const Fixed pixels = (x + CharacterWidths::kOne - 1) / CharacterWidths::kOne;
    return static_cast<std::int32_t>(std::min<Fixed>(pixels, INT_MAX));
}

// Grows a vector's room to `needed` elements, by half again at least, so that
// growing one element at a time stays cheap. Throws std::bad_alloc with the
// vector unchanged.
template <class T> void MakeRoom(std::vector<T>& vector, std::size_t needed) {
    if (vector.capacity() < needed) vector.reserve(std::max(needed, vector.capacity() * 3 / 2));
}

// One pass over a text, given character by character by `at`: its line
// starts, the width of each line and marks in long lines. In a CR LF text
// the CR before a line feed has been counted into the line's width by the
// time the line feed shows it to be part of a break, and is taken off again.
class LineIndexer {
public:
    LineIndexer(bool crLf, const CharacterWidths& widths, TextBuffer::Content& content)
        : crLf_(crLf), widths_(widths), content_(content) {}

    // Reads the characters from `from` to `to` of a text of `size`, given
    // one by one by `at`.
    template <class At> void Read(qsizetype from, qsizetype to, qsizetype size, At at) {
        Fixed x = x_;
        qsizetype countdown = countdown_;
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = at(i);
            if (c == u'\n' && (!crLf_ || (i > 0 && at(i - 1) == u'\r'))) {
                content_.lineWidths.back() =
                    WholePixels(crLf_ ? x - widths_.Advance(char16_t(u'\r')) : x);
                content_.lineStarts.push_back(i + 1);
                content_.lineWidths.push_back(0);
                x = 0;
                countdown = TextBuffer::kMarkSpacing;
                continue;
            }
            if (--countdown == 0) {
                content_.marks.push_back({i, x});
                countdown = TextBuffer::kMarkSpacing;
            }
            if (c == u'\t')
                x = widths_.NextTab(x);
            else if (c < CharacterWidths::kTabled)
                x += widths_.Advance(c);
            else
                x += widths_.SurrogateOrOther(c, i > 0 ? at(i - 1) : 0, i + 1 < size ? at(i + 1) : 0);
        }
        x_ = x;
        countdown_ = countdown;
    }

    void Finish() { content_.lineWidths.back() = WholePixels(x_); }

private:
    bool crLf_;
    const CharacterWidths& widths_;
    TextBuffer::Content& content_;
    Fixed x_ = 0;
    qsizetype countdown_ = TextBuffer::kMarkSpacing;
};

} // namespace

// ---------------------------------------------------------------------------
// Preparing a text

TextBuffer::Preparer::Preparer(LineBreak lineBreak, std::shared_ptr<const CharacterWidths> widths)
    : lineBreak_(lineBreak), widths_(std::move(widths)) {}

TextBuffer::Content TextBuffer::Preparer::operator()(QString text) const {
    Content content;
    // Every line break holds one line feed: count them first, so the index
    // is allocated once.
    const auto lines = static_cast<std::size_t>(1 + text.count(QChar(u'\n')));
    content.lineStarts.reserve(lines);
    content.lineWidths.reserve(lines);
    content.marks.reserve(static_cast<std::size_t>(text.size() / kMarkSpacing));
    const char16_t* data = reinterpret_cast<const char16_t*>(text.constData());
    LineIndexer indexer(lineBreak_ == LineBreak::CrLf, *widths_, content);
    indexer.Read(0, text.size(), text.size(), [data](qsizetype i) { return data[i]; });
    indexer.Finish();
    content.text = std::move(text);
    content.widths = widths_;
    return content;
}

TextBuffer::Content TextBuffer::Preparer::fromCodes(std::string_view codes, const CodeTable& table,
                                                    const std::function<void(double)>& progress) const {
    Content content;
    const qsizetype n = static_cast<qsizetype>(codes.size());
    const auto lines = static_cast<std::size_t>(1 + std::count(codes.begin(), codes.end(), '\n'));
    content.lineStarts.reserve(lines);
    content.lineWidths.reserve(lines);
    // Room to type into, so that the first keys in a long text do not move
    // all of it.
    QString text;
    text.reserve(n + n / 16 + 1024);
    text.resize(n);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const unsigned char* in = reinterpret_cast<const unsigned char*>(codes.data());
    // The characters are written as they are read for the index, a stretch
    // at a time so that the caller hears how far it has come.
    const auto at = [in, out, &table](qsizetype i) {
        const char16_t c = table[in[i]];
        out[i] = c;
        return c;
    };
    LineIndexer indexer(lineBreak_ == LineBreak::CrLf, *widths_, content);
    constexpr qsizetype kStretch = qsizetype{1} << 22;
    for (qsizetype from = 0; from < n; from += kStretch) {
        const qsizetype to = std::min(n, from + kStretch);
        indexer.Read(from, to, n, at);
        if (progress) progress(static_cast<double>(to) / static_cast<double>(n));
    }
    indexer.Finish();
    content.text = std::move(text);
    content.widths = widths_;
    return content;
}

// ---------------------------------------------------------------------------
// The buffer

TextBuffer::TextBuffer(LineBreak lineBreak, std::shared_ptr<const CharacterWidths> widths)
    : lineBreak_(lineBreak), widths_(std::move(widths)) {
    content_.widths = widths_;
}

QString TextBuffer::breakText() const {
    return lineBreak_ == LineBreak::CrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
}

void TextBuffer::setContent(Content content) {
    if (content.widths != widths_) content = preparer()(std::move(content.text));
    content_ = std::move(content);
    marks_ = std::move(content_.marks);
    content_.marks = {};
    undo_.clear();
    redo_.clear();
    typing_ = false;
    recomputeWidest();
}

void TextBuffer::replaceContent(Content content) {
    if (content.widths != widths_) content = preparer()(std::move(content.text));
    auto other = std::make_shared<Content>();
    MakeRoom(undo_, undo_.size() + 1);
    // Nothing below allocates. An earlier whole step goes with the edits
    // before it, which were made to its text.
    const auto earlier = std::find_if(undo_.rbegin(), undo_.rend(),
                                      [](const Edit& edit) { return edit.other != nullptr; });
    if (earlier != undo_.rend()) undo_.erase(undo_.begin(), earlier.base());
    redo_.clear();
    *other = std::move(content_);
    other->marks = std::move(marks_);
    content_ = std::move(content);
    marks_ = std::move(content_.marks);
    content_.marks = {};
    undo_.push_back(Edit{0, {}, {}, std::move(other)});
    typing_ = false;
    recomputeWidest();
}

void TextBuffer::setWidths(std::shared_ptr<const CharacterWidths> widths) {
    Content again = Preparer(lineBreak_, widths)(content_.text);
    widths_ = std::move(widths);
    content_.lineWidths = std::move(again.lineWidths);
    content_.widths = widths_;
    marks_ = std::move(again.marks);
    recomputeWidest();
}

void TextBuffer::recomputeWidest() {
    const auto& widths = content_.lineWidths;
    widest_ = widths.empty() ? 0 : *std::max_element(widths.begin(), widths.end());
}

// ---------------------------------------------------------------------------
// Lines and places

qsizetype TextBuffer::lineOf(qsizetype position) const {
    const auto& starts = content_.lineStarts;
    auto it = std::upper_bound(starts.begin(), starts.end(), position);
    return static_cast<qsizetype>(it - starts.begin()) - 1;
}

qsizetype TextBuffer::lineEnd(qsizetype line) const {
    if (line + 1 < lineCount()) return lineStart(line + 1) - breakLength();
    return size();
}

bool TextBuffer::insideBreak(qsizetype position) const {
    return breakLength() == 2 && position > 0 && position < size() && at(position - 1) == u'\r' &&
           at(position) == u'\n';
}

Fixed TextBuffer::walk(qsizetype from, Fixed x, qsizetype to) const {
    const char16_t* data = reinterpret_cast<const char16_t*>(content_.text.constData());
    const qsizetype n = size();
    for (qsizetype i = from; i < to; ++i) x = widths_->Step(x, data, i, n);
    return x;
}

Mark TextBuffer::markBefore(qsizetype line, qsizetype position) const {
    const qsizetype start = lineStart(line);
    auto it = std::upper_bound(marks_.begin(), marks_.end(), position,
                               [](qsizetype p, const Mark& m) { return p < m.position; });
    if (it != marks_.begin() && std::prev(it)->position >= start) return *std::prev(it);
    return {start, 0};
}

void TextBuffer::addMarks(Mark from, qsizetype to, qsizetype lineEndPosition) const {
    // A cache: when there is no room for more marks, walks stay longer.
    try {
        std::vector<Mark> found;
        const char16_t* data = reinterpret_cast<const char16_t*>(content_.text.constData());
        const qsizetype n = size();
        Fixed x = from.x;
        to = std::min(to, lineEndPosition);
        for (qsizetype i = from.position; i < to; ++i) {
            if (i > from.position && (i - from.position) % kMarkSpacing == 0)
                found.push_back({i, x});
            x = widths_->Step(x, data, i, n);
        }
        auto at = std::upper_bound(marks_.begin(), marks_.end(), from.position,
                                   [](qsizetype p, const Mark& m) { return p < m.position; });
        marks_.insert(at, found.begin(), found.end());
    } catch (const std::bad_alloc&) {
    }
}

Fixed TextBuffer::xOf(qsizetype position) const {
    const qsizetype line = lineOf(position);
    Mark mark = markBefore(line, position);
    if (position - mark.position > 2 * kMarkSpacing) {
        addMarks(mark, position, lineEnd(line));
        mark = markBefore(line, position);
    }
    return walk(mark.position, mark.x, position);
}

Mark TextBuffer::placeBefore(qsizetype line, Fixed x) const {
    const qsizetype start = lineStart(line);
    const qsizetype end = lineEnd(line);
    // The last mark of the line that starts at or left of x.
    auto first = std::lower_bound(marks_.begin(), marks_.end(), start,
                                  [](const Mark& m, qsizetype p) { return m.position < p; });
    auto last = std::upper_bound(first, marks_.end(), end,
                                 [](qsizetype p, const Mark& m) { return p < m.position; });
    auto it = std::upper_bound(first, last, x, [](Fixed v, const Mark& m) { return v < m.x; });
    Mark mark = it == first ? Mark{start, 0} : *std::prev(it);
    const char16_t* data = reinterpret_cast<const char16_t*>(content_.text.constData());
    const qsizetype n = size();
    // Walk on to the character under x, keeping marks on a long way.
    qsizetype since = 0;
    std::vector<Mark> found;
    while (mark.position < end) {
        const Fixed next = widths_->Step(mark.x, data, mark.position, n);
        if (next > x) break;
        mark = {mark.position + 1, next};
        if (++since == kMarkSpacing) {
            since = 0;
            try {
                found.push_back(mark);
            } catch (const std::bad_alloc&) {
            }
        }
    }
    if (!found.empty()) {
        try {
            marks_.insert(it, found.begin(), found.end());
        } catch (const std::bad_alloc&) {
        }
    }
    return mark;
}

qsizetype TextBuffer::positionInLine(qsizetype line, Fixed x) const {
    const Mark mark = placeBefore(line, x);
    const qsizetype end = lineEnd(line);
    if (mark.position >= end) return end;
    const char16_t* data = reinterpret_cast<const char16_t*>(content_.text.constData());
    const Fixed next = widths_->Step(mark.x, data, mark.position, size());
    // Nearer to the character's right edge: the place after it, after both
    // halves of a surrogate pair.
    if (x - mark.x < next - x) return mark.position;
    qsizetype after = mark.position + 1;
    if (after < end && QChar::isHighSurrogate(data[mark.position]) &&
        QChar::isLowSurrogate(data[after]))
        ++after;
    return after;
}

std::int32_t TextBuffer::measureLine(qsizetype line) const {
    return WholePixels(xOf(lineEnd(line)));
}

// ---------------------------------------------------------------------------
// Editing

void TextBuffer::apply(qsizetype from, qsizetype to, const QString& text) {
    auto& starts = content_.lineStarts;
    auto& lineWidths = content_.lineWidths;
    const qsizetype bl = breakLength();
    const qsizetype delta = text.size() - (to - from);

    // What the index looks like around the change, in the old text. Line
    // starts in (from, to + bl) are found afresh, since their breaks touch
    // the change; those after it move with it.
    const auto firstIndex = static_cast<std::size_t>(
        std::upper_bound(starts.begin(), starts.end(), from) - starts.begin());
    const auto lastIndex = static_cast<std::size_t>(
        std::lower_bound(starts.begin() + static_cast<std::ptrdiff_t>(firstIndex), starts.end(),
                         to + bl) -
        starts.begin());
    const qsizetype firstLine = static_cast<qsizetype>(firstIndex) - 1;
    // The tail: the old characters from `to` to the end of the last line the
    // change touches. Marks there keep their places relative to each other
    // when no tab or surrogate half makes widths depend on where they start.
    const qsizetype tailLine = static_cast<qsizetype>(lastIndex) - 1;
    const qsizetype tailStart = std::max(to, lineStart(tailLine));
    const qsizetype tailEnd = lineEnd(tailLine);
    auto markAfter = [this](qsizetype position) {
        return std::upper_bound(marks_.begin(), marks_.end(), position,
                                [](qsizetype p, const Mark& m) { return p < m.position; });
    };
    const bool tailMarks = markAfter(tailStart) != markAfter(tailEnd);
    const Fixed oldTailX = tailMarks ? xOf(tailStart) : 0;

    // Room for everything first: once the text has changed, the index must
    // follow without running out of memory.
    const std::size_t newBreaks = static_cast<std::size_t>(text.count(QChar(u'\n'))) + 2;
    std::vector<qsizetype> found;
    found.reserve(newBreaks);
    MakeRoom(starts, starts.size() + newBreaks);
    MakeRoom(lineWidths, lineWidths.size() + newBreaks);
    content_.text.replace(from, to - from, text);

    // Nothing below allocates.
    const QChar* data = content_.text.constData();
    const qsizetype n = size();
    const qsizetype scanEnd = std::min(from + text.size(), n - bl + 1);
    for (qsizetype j = std::max<qsizetype>(0, from - bl + 1); j < scanEnd; ++j) {
        const bool isBreak =
            bl == 2 ? (data[j] == u'\r' && data[j + 1] == u'\n') : data[j] == u'\n';
        if (isBreak) found.push_back(j + bl);
    }
    std::int32_t oldWidest = 0;
    for (std::size_t i = static_cast<std::size_t>(firstLine); i < lastIndex; ++i)
        oldWidest = std::max(oldWidest, lineWidths[i]);
    for (auto it = starts.begin() + static_cast<std::ptrdiff_t>(lastIndex); it != starts.end(); ++it)
        *it += delta;
    const std::size_t removed = lastIndex - firstIndex;
    const auto firstIt = starts.begin() + static_cast<std::ptrdiff_t>(firstIndex);
    const auto widthIt = lineWidths.begin() + static_cast<std::ptrdiff_t>(firstIndex);
    if (removed >= found.size()) {
        std::copy(found.begin(), found.end(), firstIt);
        starts.erase(firstIt + static_cast<std::ptrdiff_t>(found.size()),
                     firstIt + static_cast<std::ptrdiff_t>(removed));
        lineWidths.erase(widthIt + static_cast<std::ptrdiff_t>(found.size()),
                         widthIt + static_cast<std::ptrdiff_t>(removed));
    } else {
        std::copy(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(removed), firstIt);
        starts.insert(firstIt + static_cast<std::ptrdiff_t>(removed),
                      found.begin() + static_cast<std::ptrdiff_t>(removed), found.end());
        lineWidths.insert(widthIt + static_cast<std::ptrdiff_t>(removed),
                          found.size() - removed, 0);
    }

    // Marks: those before the change stay, those in it go, those after it
    // move with it. In the tail they also move across by as much as the
    // tail's start has; after a tab in the tail, by as much as that tab's
    // stop has, which is the same for every later tab. A tail that starts
    // with a surrogate half or a line feed, whose width or line may have
    // changed with what came before it, loses its marks.
    const qsizetype newTailStart = tailStart + delta;
    const bool shiftTail = tailMarks && !data[newTailStart].isLowSurrogate() &&
                           data[newTailStart] != u'\n';
    auto goneFrom = std::lower_bound(marks_.begin(), marks_.end(), from,
                                     [](const Mark& m, qsizetype p) { return m.position < p; });
    auto goneTo = markAfter(shiftTail ? tailStart : tailEnd);
    goneFrom = marks_.erase(goneFrom, goneTo);
    for (auto it = goneFrom; it != marks_.end(); ++it) it->position += delta;
    if (shiftTail) {
        const qsizetype newTailEnd = tailEnd + delta;
        const Fixed dx = xOf(newTailStart) - oldTailX;
        const qsizetype lastMark = std::prev(markAfter(newTailEnd))->position;
        const qsizetype tab =
            QStringView(data + newTailStart, lastMark - newTailStart).indexOf(u'\t');
        const qsizetype tabAt = tab < 0 ? newTailEnd + 1 : newTailStart + tab;
        Fixed afterTab = dx;
        if (tab >= 0) {
            // Where the tab stood before, from the last mark before it.
            auto before = markAfter(tabAt);
            Mark from{newTailStart, oldTailX};
            if (before != marks_.begin() && std::prev(before)->position > newTailStart)
                from = *std::prev(before);
            const Fixed oldX = walk(from.position, from.x, tabAt);
            afterTab = widths_->NextTab(oldX + dx) - widths_->NextTab(oldX);
        }
        for (auto it = markAfter(newTailStart); it != marks_.end() && it->position <= newTailEnd;
             ++it)
            it->x += it->position <= tabAt ? dx : afterTab;
    }

    // The widths of the lines the change made.
    std::int32_t newWidest = 0;
    const qsizetype lastNewLine = firstLine + static_cast<qsizetype>(found.size());
    for (qsizetype line = firstLine; line <= lastNewLine; ++line) {
        lineWidths[static_cast<std::size_t>(line)] = measureLine(line);
        newWidest = std::max(newWidest, lineWidths[static_cast<std::size_t>(line)]);
    }
    if (newWidest >= widest_)
        widest_ = newWidest;
    else if (oldWidest == widest_)
        recomputeWidest();
}

QString TextBuffer::replace(qsizetype from, qsizetype to, const QString& text, bool extendTyping) {
    if (from == to && text.isEmpty()) return {};
    QString removed = content_.text.mid(from, to - from);
    const bool merge = extendTyping && typing_ && !undo_.empty() && !undo_.back().other &&
                       removed.isEmpty() &&
                       undo_.back().removed.isEmpty() &&
                       undo_.back().position + undo_.back().inserted.size() == from;
    QString merged;
    if (merge)
        merged = undo_.back().inserted + text;
    else
        MakeRoom(undo_, undo_.size() + 1);
    apply(from, to, text);
    if (merge)
        undo_.back().inserted = std::move(merged);
    else
        undo_.push_back(Edit{from, removed, text, {}});
    redo_.clear();
    typing_ = extendTyping;
    return removed;
}

const TextBuffer::Edit* TextBuffer::takeBack(std::vector<Edit>& from, std::vector<Edit>& to) {
    if (from.empty()) return nullptr;
    MakeRoom(to, to.size() + 1);
    Edit& edit = from.back();
    if (edit.other) {
        // Measured again if the widths changed since it went.
        if (edit.other->widths != widths_) *edit.other = preparer()(edit.other->text);
        Content current = std::move(content_);
        current.marks = std::move(marks_);
        content_ = std::move(*edit.other);
        marks_ = std::move(content_.marks);
        content_.marks = {};
        *edit.other = std::move(current);
        recomputeWidest();
    } else {
        apply(edit.position, edit.position + edit.inserted.size(), edit.removed);
        std::swap(edit.removed, edit.inserted);
    }
    to.push_back(std::move(edit));
    from.pop_back();
    typing_ = false;
    return &to.back();
}

const TextBuffer::Edit* TextBuffer::undo() { return takeBack(undo_, redo_); }

const TextBuffer::Edit* TextBuffer::redo() { return takeBack(redo_, undo_); }

// ---------------------------------------------------------------------------
// Shown positions

qsizetype TextBuffer::shownLength() const { return size() - (lineCount() - 1) * (breakLength() - 1); }

qsizetype TextBuffer::shownOffset(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, size());
    if (breakLength() == 1) return position;
    // Each line break before the line counts one character less; a position
    // inside a break counts as the end of it.
    return outsideBreak(position) - lineOf(outsideBreak(position));
}

qsizetype TextBuffer::positionOfShown(qsizetype offset) const {
    offset = std::clamp<qsizetype>(offset, 0, shownLength());
    if (breakLength() == 1) return offset;
    // Line `line` starts at shown offset lineStarts[line] - line, which grows
    // with the line: the last line starting at or before the offset holds it.
    const auto& starts = content_.lineStarts;
    qsizetype low = 0;
    qsizetype high = lineCount();
    while (high - low > 1) {
        const qsizetype middle = low + (high - low) / 2;
        if (starts[static_cast<std::size_t>(middle)] - middle <= offset)
            low = middle;
        else
            high = middle;
    }
    return offset + low;
}

QString TextBuffer::shownText(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, size());
    to = std::clamp<qsizetype>(to, from, size());
    return ToDisplay(content_.text.mid(from, to - from), lineBreak_);
}

QString TextBuffer::ToDisplay(const QString& text, LineBreak lineBreak) {
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

QChar TextBuffer::FromPicture(QChar c) {
    if (c.unicode() >= kPictureBase && c.unicode() < kPictureBase + 0x20)
        return QChar(c.unicode() - kPictureBase);
    if (c.unicode() == kDeletePicture) return QChar(kDelete);
    return c;
}

QString TextBuffer::FromDisplay(const QString& shown, LineBreak lineBreak) {
    const QString breakText =
        lineBreak == LineBreak::CrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    QString text;
    text.reserve(shown.size());
    for (QChar c : shown) {
        if (c == u'\n')
            text += breakText;
        else
            text += FromPicture(c);
    }
    return text;
}

} // namespace tolvana::ui
