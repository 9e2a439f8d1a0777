#include "ui/textbox/textbox.h"

#include "ui/textbox/textbox_accessible.h"
#include "ui/texts/codepage.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>

namespace tolvana::ui {
namespace {

constexpr char16_t kPictureBase = 0x2400;   // U+2400 SYMBOL FOR NULL .. U+241F
constexpr char16_t kDeletePicture = 0x2421; // U+2421 SYMBOL FOR DELETE
constexpr char16_t kDelete = 0x7F;
constexpr int kLeftMargin = 4;
constexpr int kTopMargin = 2;

// Characters drawn as a framed abbreviation rather than as a glyph: the
// control characters (other than tab) and the Unicode line and paragraph
// separators, none of which a font draws visibly.
bool IsFramed(char16_t c) {
    return (c < 0x20 && c != u'\t') || (c >= kDelete && c <= 0x9F) || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

bool IsHiddenControl(char16_t c) { return (c < 0x20 && c != u'\t') || c == kDelete; }

QChar PictureOf(char16_t c) { return QChar(c == kDelete ? kDeletePicture : kPictureBase + c); }

QString Abbreviation(char16_t c) {
    static const char* const kNames[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                           "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                           "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                           "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (c < 0x20) return QString::fromLatin1(kNames[c]);
    if (c == kDelete) return QStringLiteral("DEL");
    if (c == QChar::LineSeparator) return QStringLiteral("LS");
    if (c == QChar::ParagraphSeparator) return QStringLiteral("PS");
    return QString::number(c, 16).toUpper();
}

bool IsTypeable(const QString& text) {
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (IsFramed(c.unicode())) return false;
    return true;
}

bool IsWordCharacter(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// Runs an edit; when memory runs out, the text stays as it was and the box
// beeps. Exceptions must not pass through Qt's event handling.
template <class Edit> void Safely(Edit edit) {
    try {
        edit();
    } catch (const std::bad_alloc&) {
        QApplication::beep();
    }
}

bool IsCodePageCharacter(char16_t c) { return CodeOfChar(QChar(c)) >= 0; }

} // namespace

struct CodeTextBox::Widths {
    static constexpr char16_t kTabled = 0x2150;

    QFont font;
    QFont small;
    std::vector<float> advance;
    // The same in 1/64 pixel, for summing whole texts quickly.
    std::vector<std::int32_t> fixedAdvance;
    std::int64_t fixedFallback = 512;
    std::int64_t fixedTabStop = 80 * 64;
    double fallback = 8;
    double tabStop = 80;
    double ascent = 10;
    int height = 14;

    explicit Widths(const QFont& boxFont) : font(boxFont), small(boxFont) {
        small.setPointSizeF(std::max(6.0, boxFont.pointSizeF() * 0.7));
        if (boxFont.pointSizeF() <= 0)
            small.setPixelSize(std::max(7, boxFont.pixelSize() * 7 / 10));
        const QFontMetricsF metrics(font);
        const QFontMetricsF smallMetrics(small);
        // Only the characters of the code page and their Latin neighbours
        // are measured ahead: other scripts would make Qt look for fallback
        // fonts, which takes long, and warn about scripts that need shaping.
        fallback = metrics.horizontalAdvance(QChar(u'W'));
        advance.assign(kTabled, static_cast<float>(fallback));
        for (char16_t c = 0; c < kTabled; ++c) {
            const bool measured = c < 0x180 || IsCodePageCharacter(c);
            if (IsFramed(c))
                advance[c] =
                    static_cast<float>(smallMetrics.horizontalAdvance(Abbreviation(c)) + 6);
            else if (measured)
                advance[c] = static_cast<float>(metrics.horizontalAdvance(QChar(c)));
        }
        fixedAdvance.resize(kTabled);
        for (char16_t c = 0; c < kTabled; ++c)
            fixedAdvance[c] = static_cast<std::int32_t>(std::lround(advance[c] * 64));
        fixedFallback = std::lround(fallback * 64);
        fixedTabStop = std::lround(tabStop * 64);
        ascent = metrics.ascent();
        height = static_cast<int>(std::ceil(metrics.height()));
    }

    // Where the next character starts when `c` starts at `x`.
    double Step(double x, char16_t c) const {
        if (c < kTabled) {
            if (c == u'\t') return (std::floor(x / tabStop) + 1) * tabStop;
            return x + advance[c];
        }
        if (c >= 0xDC00 && c < 0xE000) return x; // the second half of a pair
        return x + fallback;
    }
};

// ---------------------------------------------------------------------------
// Preparing a text

namespace {

// One pass over a text, given character by character by `at`: its line starts
// and the width of its widest line. In a CR LF box the CR before a line feed
// has been counted into the line's width by the time the line feed shows it
// to be part of a break, and is taken off again.
class LineIndexer {
public:
    LineIndexer(bool crLf, const CodeTextBox::Widths& widths, std::vector<qsizetype>& starts)
        : crLf_(crLf), widths_(widths), starts_(starts) {}

    // Reads the characters from `from` to `to`, given one by one by `at`.
    template <class At> void Read(qsizetype from, qsizetype to, At at) {
        // Whole numbers add quicker than floating point, which matters here.
        std::int64_t x = x_;
        std::int64_t widest = widest_;
        const std::int32_t* advance = widths_.fixedAdvance.data();
        const std::int64_t crWidth = advance[u'\r'];
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = at(i);
            if (c == u'\n' && (!crLf_ || (i > 0 && at(i - 1) == u'\r'))) {
                widest = std::max(widest, crLf_ ? x - crWidth : x);
                x = 0;
                starts_.push_back(i + 1);
            } else if (c == u'\t') {
                x = (x / widths_.fixedTabStop + 1) * widths_.fixedTabStop;
            } else if (c < CodeTextBox::Widths::kTabled) {
                x += advance[c];
            } else if (c < 0xDC00 || c >= 0xE000) {
                x += widths_.fixedFallback;
            }
        }
        x_ = x;
        widest_ = widest;
    }

    // The width of the widest line, in pixels.
    double Widest() const { return static_cast<double>(std::max(widest_, x_)) / 64; }

private:
    bool crLf_;
    const CodeTextBox::Widths& widths_;
    std::vector<qsizetype>& starts_;
    std::int64_t x_ = 0;
    std::int64_t widest_ = 0;
};

} // namespace

CodeTextBox::Content CodeTextBox::Preparer::operator()(QString text) const {
    Content content;
    // Every line break holds one line feed: count them first, so the index
    // is allocated once.
    content.lineStarts.reserve(static_cast<std::size_t>(1 + text.count(QChar(u'\n'))));
    const QChar* data = text.constData();
    LineIndexer indexer(lineBreak_ == LineBreak::CrLf, *widths_, content.lineStarts);
    indexer.Read(0, text.size(), [data](qsizetype i) { return data[i].unicode(); });
    content.widest = indexer.Widest();
    content.text = std::move(text);
    content.widths = widths_;
    return content;
}

CodeTextBox::Content
CodeTextBox::Preparer::fromCodes(std::string_view codes,
                                 const std::function<void(double)>& progress) const {
    static const std::array<char16_t, 256> kCharacters = [] {
        std::array<char16_t, 256> characters{};
        for (int code = 0; code < 256; ++code)
            characters[code] = CharOfCode(static_cast<unsigned char>(code)).unicode();
        return characters;
    }();
    Content content;
    const qsizetype n = static_cast<qsizetype>(codes.size());
    content.lineStarts.reserve(
        static_cast<std::size_t>(1 + std::count(codes.begin(), codes.end(), '\n')));
    QString text(n, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    const unsigned char* in = reinterpret_cast<const unsigned char*>(codes.data());
    // The characters are written as they are read for the index, a stretch
    // at a time so that the caller hears how far it has come.
    const auto at = [in, out](qsizetype i) {
        const char16_t c = kCharacters[in[i]];
        out[i] = c;
        return c;
    };
    LineIndexer indexer(lineBreak_ == LineBreak::CrLf, *widths_, content.lineStarts);
    constexpr qsizetype kStretch = qsizetype{1} << 22;
    for (qsizetype from = 0; from < n; from += kStretch) {
        const qsizetype to = std::min(n, from + kStretch);
        indexer.Read(from, to, at);
        if (progress) progress(static_cast<double>(to) / static_cast<double>(n));
    }
    content.widest = indexer.Widest();
    content.text = std::move(text);
    content.widths = widths_;
    return content;
}

CodeTextBox::Preparer CodeTextBox::preparer() const {
    Preparer preparer;
    preparer.lineBreak_ = lineBreak_;
    preparer.widths_ = widths_;
    return preparer;
}

// ---------------------------------------------------------------------------
// The box

CodeTextBox::CodeTextBox(LineBreak lineBreak, QWidget* parent)
    : QAbstractScrollArea(parent), lineBreak_(lineBreak) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    // Dropped files go to the window, which opens them; text is pasted.
    setAcceptDrops(false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    refreshWidths();
    content_.widths = widths_;
    updateScrollBars();
    InstallTextBoxAccessibility();
    ForgetPlainAccessibility(this);
}

CodeTextBox::~CodeTextBox() = default;

void CodeTextBox::refreshWidths() {
    widths_ = std::make_shared<const Widths>(font());
    if (content_.widths && content_.widths != widths_) {
        Content again = preparer()(content_.text);
        content_.widest = again.widest;
        content_.widths = widths_;
    }
}

void CodeTextBox::setText(const QString& text) { setContent(preparer()(text)); }

void CodeTextBox::setContent(Content content) {
    // Accessibility tools hear of a new text as one change of the whole.
    QString oldShown;
    bool report = TextBoxAccessibilityListens();
    if (report) {
        try {
            oldShown = toPlainText();
        } catch (const std::bad_alloc&) {
            report = false;
        }
    }
    content_ = std::move(content);
    if (content_.widths != widths_) {
        content_.widest = preparer()(content_.text).widest;
        content_.widths = widths_;
    }
    caret_ = anchor_ = 0;
    wantedX_ = -1;
    undo_.clear();
    redo_.clear();
    lastWasTyping_ = false;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
    if (report) {
        try {
            QAccessibleTextUpdateEvent event(this, 0, oldShown, toPlainText());
            ReportTextBoxAccessibility(event);
        } catch (const std::bad_alloc&) {
        }
    }
    reportCaret();
}

QString CodeTextBox::breakText() const {
    return lineBreak_ == LineBreak::CrLf ? QStringLiteral("\r\n") : QStringLiteral("\n");
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
        if (c == u'\n')
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

QString CodeTextBox::pasted(const QString& text) const {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar lineBreak :
         {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        lines.replace(lineBreak, u'\n');
    if (lineBreak_ == LineBreak::CrLf) lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return lines;
}

// ---------------------------------------------------------------------------
// Shown positions

qsizetype CodeTextBox::shownLength() const {
    return content_.text.size() - (lineCount() - 1) * (breakLength() - 1);
}

qsizetype CodeTextBox::shownOffset(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, content_.text.size());
    if (breakLength() == 1) return position;
    // Each line break before the line counts one character less.
    return position - lineOf(position);
}

qsizetype CodeTextBox::positionOfShown(qsizetype offset) const {
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

QString CodeTextBox::shownText(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, content_.text.size());
    to = std::clamp<qsizetype>(to, from, content_.text.size());
    return ToDisplay(content_.text.mid(from, to - from), lineBreak_);
}

// ---------------------------------------------------------------------------
// Lines and positions

qsizetype CodeTextBox::lineOf(qsizetype position) const {
    const auto& starts = content_.lineStarts;
    auto it = std::upper_bound(starts.begin(), starts.end(), position);
    return static_cast<qsizetype>(it - starts.begin()) - 1;
}

qsizetype CodeTextBox::lineStart(qsizetype line) const {
    return content_.lineStarts[static_cast<std::size_t>(line)];
}

qsizetype CodeTextBox::lineEnd(qsizetype line) const {
    if (line + 1 < lineCount()) return lineStart(line + 1) - breakLength();
    return content_.text.size();
}

double CodeTextBox::xOf(qsizetype position) const {
    const qsizetype start = lineStart(lineOf(position));
    const QChar* data = content_.text.constData();
    double x = 0;
    for (qsizetype i = start; i < position; ++i) x = widths_->Step(x, data[i].unicode());
    return x;
}

qsizetype CodeTextBox::nextPosition(qsizetype position) const {
    const QString& text = content_.text;
    if (position >= text.size()) return text.size();
    const qsizetype line = lineOf(position);
    if (position == lineEnd(line) && line + 1 < lineCount()) return lineStart(line + 1);
    if (text[position].isHighSurrogate() && position + 1 < text.size() &&
        text[position + 1].isLowSurrogate())
        return position + 2;
    return position + 1;
}

qsizetype CodeTextBox::previousPosition(qsizetype position) const {
    const QString& text = content_.text;
    if (position <= 0) return 0;
    const qsizetype line = lineOf(position);
    if (position == lineStart(line) && line > 0) return lineEnd(line - 1);
    if (text[position - 1].isLowSurrogate() && position >= 2 &&
        text[position - 2].isHighSurrogate())
        return position - 2;
    return position - 1;
}

qsizetype CodeTextBox::nextWord(qsizetype position) const {
    const QString& text = content_.text;
    const qsizetype end = lineEnd(lineOf(position));
    if (position >= end) return nextPosition(position);
    while (position < end && !IsWordCharacter(text[position])) ++position;
    while (position < end && IsWordCharacter(text[position])) ++position;
    return position;
}

qsizetype CodeTextBox::previousWord(qsizetype position) const {
    const QString& text = content_.text;
    const qsizetype start = lineStart(lineOf(position));
    if (position <= start) return previousPosition(position);
    while (position > start && !IsWordCharacter(text[position - 1])) --position;
    while (position > start && IsWordCharacter(text[position - 1])) --position;
    return position;
}

int CodeTextBox::lineHeight() const { return std::max(1, widths_->height); }

int CodeTextBox::visibleLines() const {
    return std::max(1, (viewport()->height() - kTopMargin) / lineHeight());
}

qsizetype CodeTextBox::positionAt(const QPoint& point) const {
    const qsizetype first = verticalScrollBar()->value();
    qsizetype line = point.y() < 0 ? first - 1 : first + (point.y() - kTopMargin) / lineHeight();
    line = std::clamp<qsizetype>(line, 0, lineCount() - 1);
    return positionInLine(line, point.x() - kLeftMargin + horizontalScrollBar()->value());
}

qsizetype CodeTextBox::positionInLine(qsizetype line, double wanted) const {
    const QChar* data = content_.text.constData();
    const qsizetype end = lineEnd(line);
    double x = 0;
    for (qsizetype i = lineStart(line); i < end; ++i) {
        const double next = widths_->Step(x, data[i].unicode());
        if (wanted < (x + next) / 2 && !data[i].isLowSurrogate()) return i;
        x = next;
    }
    return end;
}

// ---------------------------------------------------------------------------
// Editing

void CodeTextBox::reindex(qsizetype from, qsizetype oldEnd, qsizetype newEnd) {
    // A line starts right after a break, so a start depends on the characters
    // of the break before it. Starts whose break touched the changed stretch
    // are found afresh; the ones after it move with the change.
    auto& starts = content_.lineStarts;
    const qsizetype bl = breakLength();
    const qsizetype delta = newEnd - oldEnd;
    const QString& text = content_.text;
    const QChar* data = text.constData();
    const qsizetype n = text.size();

    std::vector<qsizetype> found;
    const qsizetype scanEnd = std::min(newEnd, n - bl + 1);
    for (qsizetype j = std::max<qsizetype>(0, from - bl + 1); j < scanEnd; ++j) {
        const bool isBreak =
            bl == 2 ? (data[j] == u'\r' && data[j + 1] == u'\n') : data[j] == u'\n';
        if (isBreak) found.push_back(j + bl);
    }
    auto first = std::upper_bound(starts.begin(), starts.end(), from);
    auto last = std::lower_bound(first, starts.end(), oldEnd + bl);
    for (auto it = last; it != starts.end(); ++it) *it += delta;
    const auto removed = last - first;
    if (static_cast<std::size_t>(removed) >= found.size()) {
        std::copy(found.begin(), found.end(), first);
        starts.erase(first + static_cast<std::ptrdiff_t>(found.size()), last);
    } else {
        std::copy(found.begin(), found.begin() + removed, first);
        starts.insert(last, found.begin() + removed, found.end());
    }
}

void CodeTextBox::apply(qsizetype from, qsizetype to, const QString& text) {
    // Room for the new line starts first: once the text has changed, the
    // index must follow without running out of memory.
    const qsizetype newBreaks = text.count(QChar(u'\n'));
    content_.lineStarts.reserve(content_.lineStarts.size() + static_cast<std::size_t>(newBreaks) +
                                2);
    // In a CR LF box a CR and an LF that meet at the edge of the change may
    // join into a line break or part, so what is reported as changed takes
    // in the characters on either side that could.
    const bool report = TextBoxAccessibilityListens();
    qsizetype reportFrom = from;
    qsizetype reportTo = to;
    qsizetype shownFrom = 0;
    QString oldShown;
    if (report) {
        const QString& old = content_.text;
        if (breakLength() == 2) {
            if (reportFrom > 0 && old[reportFrom - 1] == u'\r') --reportFrom;
            if (reportTo < old.size() && old[reportTo] == u'\n') ++reportTo;
        }
        shownFrom = shownOffset(reportFrom);
        oldShown = shownText(reportFrom, reportTo);
    }
    content_.text.replace(from, to - from, text);
    reindex(from, to, from + text.size());
    // The text has changed now: an event that finds no memory is dropped,
    // so that the edit is still recorded whole.
    if (report) {
        try {
            QString newShown = shownText(reportFrom, reportTo + text.size() - (to - from));
            // Only what differs is reported.
            qsizetype same = 0;
            while (same < oldShown.size() && same < newShown.size() &&
                   oldShown[same] == newShown[same])
                ++same;
            qsizetype sameEnd = 0;
            while (sameEnd < oldShown.size() - same && sameEnd < newShown.size() - same &&
                   oldShown[oldShown.size() - 1 - sameEnd] ==
                       newShown[newShown.size() - 1 - sameEnd])
                ++sameEnd;
            oldShown = oldShown.mid(same, oldShown.size() - same - sameEnd);
            newShown = newShown.mid(same, newShown.size() - same - sameEnd);
            const int position = static_cast<int>(shownFrom + same);
            if (oldShown.isEmpty() && !newShown.isEmpty()) {
                QAccessibleTextInsertEvent event(this, position, newShown);
                ReportTextBoxAccessibility(event);
            } else if (newShown.isEmpty() && !oldShown.isEmpty()) {
                QAccessibleTextRemoveEvent event(this, position, oldShown);
                ReportTextBoxAccessibility(event);
            } else if (!oldShown.isEmpty()) {
                QAccessibleTextUpdateEvent event(this, position, oldShown, newShown);
                ReportTextBoxAccessibility(event);
            }
        } catch (const std::bad_alloc&) {
        }
    }
    const qsizetype firstLine = lineOf(from);
    const qsizetype lastLine = lineOf(from + text.size());
    for (qsizetype line = firstLine; line <= lastLine; ++line)
        content_.widest = std::max(content_.widest, xOf(lineEnd(line)));
    updateScrollBars();
    viewport()->update();
}

void CodeTextBox::replace(qsizetype from, qsizetype to, const QString& text, bool mergeTyping) {
    if (from == to && text.isEmpty()) return;
    Edit edit{from, content_.text.mid(from, to - from), text};
    const bool merge = mergeTyping && lastWasTyping_ && !undo_.empty() && edit.removed.isEmpty() &&
                       undo_.back().removed.isEmpty() &&
                       undo_.back().position + undo_.back().inserted.size() == from;
    apply(from, to, text);
    if (merge)
        undo_.back().inserted += text;
    else
        undo_.push_back(std::move(edit));
    redo_.clear();
    caret_ = anchor_ = from + text.size();
    wantedX_ = -1;
    lastWasTyping_ = mergeTyping;
    ensureCaretVisible();
    reportCaret();
}

void CodeTextBox::insertTyped(const QString& text, bool mergeTyping) {
    replace(selectionStart(), selectionEnd(), text, mergeTyping && anchor_ == caret_);
}

void CodeTextBox::removeSelection() { replace(selectionStart(), selectionEnd(), QString()); }

void CodeTextBox::undo() {
    Safely([this] {
        if (undo_.empty()) return;
        redo_.reserve(redo_.size() + 1);
        Edit& edit = undo_.back();
        apply(edit.position, edit.position + edit.inserted.size(), edit.removed);
        anchor_ = edit.position;
        caret_ = edit.position + edit.removed.size();
        redo_.push_back(std::move(edit));
        undo_.pop_back();
        lastWasTyping_ = false;
        ensureCaretVisible();
        reportCaret();
    });
}

void CodeTextBox::redo() {
    Safely([this] {
        if (redo_.empty()) return;
        undo_.reserve(undo_.size() + 1);
        Edit& edit = redo_.back();
        apply(edit.position, edit.position + edit.removed.size(), edit.inserted);
        anchor_ = caret_ = edit.position + edit.inserted.size();
        undo_.push_back(std::move(edit));
        redo_.pop_back();
        lastWasTyping_ = false;
        ensureCaretVisible();
        reportCaret();
    });
}

QString CodeTextBox::selectedText() const {
    return content_.text.mid(selectionStart(), selectionEnd() - selectionStart());
}

void CodeTextBox::selectAll() {
    anchor_ = 0;
    caret_ = content_.text.size();
    lastWasTyping_ = false;
    viewport()->update();
    reportCaret();
}

void CodeTextBox::setCursorPosition(qsizetype position) {
    moveCaret(std::clamp<qsizetype>(position, 0, content_.text.size()), false);
}

void CodeTextBox::copy() {
    Safely([this] {
        if (caret_ != anchor_) QApplication::clipboard()->setText(selectedText());
    });
}

void CodeTextBox::cut() {
    Safely([this] {
        if (caret_ == anchor_) return;
        QApplication::clipboard()->setText(selectedText());
        removeSelection();
    });
}

void CodeTextBox::paste() {
    Safely([this] {
        const QString text = QApplication::clipboard()->text();
        if (!text.isEmpty()) insertTyped(pasted(text), false);
    });
}

void CodeTextBox::moveCaret(qsizetype position, bool select, bool keepColumn) {
    caret_ = position;
    if (!select) anchor_ = position;
    if (!keepColumn) wantedX_ = -1;
    lastWasTyping_ = false;
    ensureCaretVisible();
    viewport()->update();
    reportCaret();
}

void CodeTextBox::reportCaret() {
    const qsizetype oldCaret = reportedCaret_;
    const qsizetype oldFrom = std::min(reportedAnchor_, reportedCaret_);
    const qsizetype oldTo = std::max(reportedAnchor_, reportedCaret_);
    reportedCaret_ = caret_;
    reportedAnchor_ = anchor_;
    if (!TextBoxAccessibilityListens()) return;
    const bool hadSelection = oldFrom != oldTo;
    const bool hasSelection = caret_ != anchor_;
    if ((hadSelection || hasSelection) &&
        (oldFrom != selectionStart() || oldTo != selectionEnd())) {
        QAccessibleTextSelectionEvent event(this, static_cast<int>(shownOffset(selectionStart())),
                                            static_cast<int>(shownOffset(selectionEnd())));
        event.setCursorPosition(static_cast<int>(shownOffset(caret_)));
        ReportTextBoxAccessibility(event);
    } else if (oldCaret != caret_) {
        QAccessibleTextCursorEvent event(this, static_cast<int>(shownOffset(caret_)));
        ReportTextBoxAccessibility(event);
    }
}

// ---------------------------------------------------------------------------
// Scrolling and painting

void CodeTextBox::updateScrollBars() {
    QScrollBar* vertical = verticalScrollBar();
    const qsizetype rows = visibleLines();
    const qsizetype maxLine = std::max<qsizetype>(0, lineCount() - rows);
    vertical->setRange(0, static_cast<int>(std::min<qsizetype>(maxLine, INT_MAX)));
    vertical->setPageStep(static_cast<int>(rows));
    vertical->setSingleStep(1);
    QScrollBar* horizontal = horizontalScrollBar();
    const double contentWidth = content_.widest + kLeftMargin + 4;
    const double maxX = std::max(0.0, contentWidth - viewport()->width());
    horizontal->setRange(0, static_cast<int>(std::min<double>(std::ceil(maxX), INT_MAX)));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(20);
}

QRectF CodeTextBox::characterCell(qsizetype position) const {
    const qsizetype line = lineOf(position);
    const double x = xOf(position);
    double width = widths_->fallback / 2; // a line break or the end of the text
    if (position < lineEnd(line)) width = widths_->Step(x, content_.text[position].unicode()) - x;
    const double left = kLeftMargin + x - horizontalScrollBar()->value();
    const double top =
        kTopMargin + static_cast<double>(line - verticalScrollBar()->value()) * lineHeight();
    return QRectF(left, top, std::max(1.0, width), lineHeight());
}

void CodeTextBox::ensureVisible(qsizetype position) {
    const qsizetype line = lineOf(position);
    QScrollBar* vertical = verticalScrollBar();
    const qsizetype rows = visibleLines();
    if (line < vertical->value())
        vertical->setValue(static_cast<int>(line));
    else if (line >= vertical->value() + rows)
        vertical->setValue(static_cast<int>(line - rows + 1));
    const double x = xOf(position);
    QScrollBar* horizontal = horizontalScrollBar();
    const int width = viewport()->width() - kLeftMargin - 4;
    if (x < horizontal->value())
        horizontal->setValue(static_cast<int>(std::max(0.0, x - 20)));
    else if (x > horizontal->value() + width)
        horizontal->setValue(static_cast<int>(x - width + 20));
}

void CodeTextBox::scrollContentsBy(int, int) { viewport()->update(); }

void CodeTextBox::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void CodeTextBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const Widths& widths = *widths_;
    const QPalette& colors = palette();
    const int height = lineHeight();
    const int shift = kLeftMargin - horizontalScrollBar()->value();
    const int right = viewport()->width();
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype rows = viewport()->height() / height + 1;
    const qsizetype selectFrom = selectionStart();
    const qsizetype selectTo = selectionEnd();
    const QChar* data = content_.text.constData();
    const QColor textColor = colors.color(QPalette::Text);
    const QColor selectedColor = colors.color(QPalette::HighlightedText);
    QColor frameColor = textColor;
    frameColor.setAlphaF(0.6f);

    for (qsizetype row = 0; row < rows && first + row < lineCount(); ++row) {
        const qsizetype line = first + row;
        const int top = kTopMargin + static_cast<int>(row) * height;
        const double baseline = top + widths.ascent;
        const qsizetype end = lineEnd(line);
        double x = 0;
        for (qsizetype i = lineStart(line); i < end; ++i) {
            const char16_t c = data[i].unicode();
            const double next = widths.Step(x, c);
            const double left = shift + x;
            x = next;
            if (shift + next < 0) continue;
            if (left > right) break;
            const bool selected = i >= selectFrom && i < selectTo;
            const QRectF cell(left, top, next - (left - shift), height);
            if (selected) painter.fillRect(cell, colors.brush(QPalette::Highlight));
            if (c == u'\t' || QChar::isLowSurrogate(c)) continue;
            if (IsFramed(c)) {
                painter.setPen(selected ? selectedColor : frameColor);
                painter.drawRoundedRect(cell.adjusted(1.5, 2.5, -1.5, -2.5), 2, 2);
                painter.setFont(widths.small);
                painter.drawText(cell, Qt::AlignCenter, Abbreviation(c));
                painter.setFont(widths.font);
                continue;
            }
            painter.setPen(selected ? selectedColor : textColor);
            const qsizetype length = QChar::isHighSurrogate(c) && i + 1 < end ? 2 : 1;
            painter.drawText(QPointF(left, baseline), QString(data + i, length));
        }
        // A selected line break shows as a short selected stretch.
        if (end < content_.text.size() && selectFrom <= end && selectTo > end && shift + x <= right)
            painter.fillRect(QRectF(shift + x, top, widths.fallback / 2, height),
                             colors.brush(QPalette::Highlight));
    }

    const qsizetype caretLine = lineOf(caret_);
    if (hasFocus() && caretLine >= first && caretLine < first + rows) {
        const double x = shift + xOf(caret_);
        const int top = kTopMargin + static_cast<int>(caretLine - first) * height;
        painter.fillRect(QRectF(x, top, 1, height), textColor);
    }
}

// ---------------------------------------------------------------------------
// Keys, mouse and input methods

bool CodeTextBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The box's own keys and typed text go to the box, not to shortcuts.
        auto* key = static_cast<QKeyEvent*>(event);
        static const QKeySequence::StandardKey kOwn[] = {QKeySequence::Copy,
                                                         QKeySequence::Cut,
                                                         QKeySequence::Paste,
                                                         QKeySequence::Undo,
                                                         QKeySequence::Redo,
                                                         QKeySequence::SelectAll,
                                                         QKeySequence::Delete,
                                                         QKeySequence::MoveToNextWord,
                                                         QKeySequence::MoveToPreviousWord,
                                                         QKeySequence::SelectNextWord,
                                                         QKeySequence::SelectPreviousWord,
                                                         QKeySequence::MoveToStartOfDocument,
                                                         QKeySequence::MoveToEndOfDocument,
                                                         QKeySequence::SelectStartOfDocument,
                                                         QKeySequence::SelectEndOfDocument};
        bool own = IsTypeable(key->text());
        for (QKeySequence::StandardKey standard : kOwn) own = own || key->matches(standard);
        if (own) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::FontChange) {
        refreshWidths();
        updateScrollBars();
        viewport()->update();
    }
    return QAbstractScrollArea::event(event);
}

void CodeTextBox::keyPressEvent(QKeyEvent* event) {
    try {
        const bool hasSelection = caret_ != anchor_;
        auto lineMove = [&](qsizetype lines, bool select) {
            if (wantedX_ < 0) wantedX_ = xOf(caret_);
            const qsizetype line =
                std::clamp<qsizetype>(lineOf(caret_) + lines, 0, lineCount() - 1);
            moveCaret(positionInLine(line, wantedX_), select, true);
        };
        const qsizetype page = visibleLines();
        const QString& text = content_.text;

        if (event->matches(QKeySequence::SelectAll))
            selectAll();
        else if (event->matches(QKeySequence::Copy))
            copy();
        else if (event->matches(QKeySequence::Cut))
            cut();
        else if (event->matches(QKeySequence::Paste))
            paste();
        else if (event->matches(QKeySequence::Undo))
            undo();
        else if (event->matches(QKeySequence::Redo))
            redo();
        else if (event->matches(QKeySequence::MoveToNextChar))
            moveCaret(hasSelection ? selectionEnd() : nextPosition(caret_), false);
        else if (event->matches(QKeySequence::MoveToPreviousChar))
            moveCaret(hasSelection ? selectionStart() : previousPosition(caret_), false);
        else if (event->matches(QKeySequence::SelectNextChar))
            moveCaret(nextPosition(caret_), true);
        else if (event->matches(QKeySequence::SelectPreviousChar))
            moveCaret(previousPosition(caret_), true);
        else if (event->matches(QKeySequence::MoveToNextWord))
            moveCaret(nextWord(caret_), false);
        else if (event->matches(QKeySequence::MoveToPreviousWord))
            moveCaret(previousWord(caret_), false);
        else if (event->matches(QKeySequence::SelectNextWord))
            moveCaret(nextWord(caret_), true);
        else if (event->matches(QKeySequence::SelectPreviousWord))
            moveCaret(previousWord(caret_), true);
        else if (event->matches(QKeySequence::MoveToNextLine))
            lineMove(1, false);
        else if (event->matches(QKeySequence::MoveToPreviousLine))
            lineMove(-1, false);
        else if (event->matches(QKeySequence::SelectNextLine))
            lineMove(1, true);
        else if (event->matches(QKeySequence::SelectPreviousLine))
            lineMove(-1, true);
        else if (event->matches(QKeySequence::MoveToNextPage))
            lineMove(page, false);
        else if (event->matches(QKeySequence::MoveToPreviousPage))
            lineMove(-page, false);
        else if (event->matches(QKeySequence::SelectNextPage))
            lineMove(page, true);
        else if (event->matches(QKeySequence::SelectPreviousPage))
            lineMove(-page, true);
        else if (event->matches(QKeySequence::MoveToStartOfLine))
            moveCaret(lineStart(lineOf(caret_)), false);
        else if (event->matches(QKeySequence::MoveToEndOfLine))
            moveCaret(lineEnd(lineOf(caret_)), false);
        else if (event->matches(QKeySequence::SelectStartOfLine))
            moveCaret(lineStart(lineOf(caret_)), true);
        else if (event->matches(QKeySequence::SelectEndOfLine))
            moveCaret(lineEnd(lineOf(caret_)), true);
        else if (event->matches(QKeySequence::MoveToStartOfDocument))
            moveCaret(0, false);
        else if (event->matches(QKeySequence::MoveToEndOfDocument))
            moveCaret(text.size(), false);
        else if (event->matches(QKeySequence::SelectStartOfDocument))
            moveCaret(0, true);
        else if (event->matches(QKeySequence::SelectEndOfDocument))
            moveCaret(text.size(), true);
        else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            // Every Enter, with or without modifiers, makes an ordinary line break.
            insertTyped(breakText(), false);
        else if (event->matches(QKeySequence::DeleteStartOfWord)) {
            if (hasSelection)
                removeSelection();
            else
                replace(previousWord(caret_), caret_, QString());
        } else if (event->key() == Qt::Key_Backspace) {
            if (hasSelection)
                removeSelection();
            else
                replace(previousPosition(caret_), caret_, QString());
        } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
            if (hasSelection)
                removeSelection();
            else
                replace(caret_, nextWord(caret_), QString());
        } else if (event->matches(QKeySequence::Delete)) {
            if (hasSelection)
                removeSelection();
            else
                replace(caret_, nextPosition(caret_), QString());
        } else if (IsTypeable(event->text()))
            insertTyped(event->text(), true);
        else {
            event->ignore();
            return;
        }
        event->accept();
    } catch (const std::bad_alloc&) {
        // The text stays as it was; there is no room for more.
        QApplication::beep();
    }
}

void CodeTextBox::inputMethodEvent(QInputMethodEvent* event) {
    try {
        if (!event->commitString().isEmpty()) insertTyped(event->commitString(), false);
    } catch (const std::bad_alloc&) {
        QApplication::beep();
    }
    event->accept();
}

QVariant CodeTextBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    const qsizetype line = lineOf(caret_);
    const qsizetype start = lineStart(line);
    switch (query) {
    case Qt::ImEnabled: return true;
    case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
    case Qt::ImFont: return font();
    case Qt::ImCursorRectangle: {
        const int x = kLeftMargin + static_cast<int>(xOf(caret_)) - horizontalScrollBar()->value();
        const int y =
            kTopMargin + static_cast<int>(line - verticalScrollBar()->value()) * lineHeight();
        return QRect(viewport()->mapTo(this, QPoint(x, y)), QSize(1, lineHeight()));
    }
    case Qt::ImCursorPosition: return static_cast<int>(std::min<qsizetype>(caret_ - start, 1000));
    case Qt::ImAnchorPosition:
        return static_cast<int>(std::clamp<qsizetype>(anchor_ - start, 0, 1000));
    case Qt::ImSurroundingText:
        return content_.text.mid(start, std::min<qsizetype>(lineEnd(line) - start, 1000));
    case Qt::ImCurrentSelection: return selectedText().left(1000);
    default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void CodeTextBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    moveCaret(positionAt(event->position().toPoint()),
              event->modifiers().testFlag(Qt::ShiftModifier));
}

void CodeTextBox::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) moveCaret(positionAt(event->position().toPoint()), true);
}

void CodeTextBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qsizetype position = positionAt(event->position().toPoint());
    const QString& text = content_.text;
    const qsizetype start = lineStart(lineOf(position));
    const qsizetype end = lineEnd(lineOf(position));
    qsizetype from = position;
    qsizetype to = position;
    while (from > start && IsWordCharacter(text[from - 1])) --from;
    while (to < end && IsWordCharacter(text[to])) ++to;
    anchor_ = from;
    moveCaret(to, true);
}

void CodeTextBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool selected = caret_ != anchor_;
    menu.addAction(QStringLiteral("Ångra"), this, &CodeTextBox::undo)->setEnabled(!undo_.empty());
    menu.addAction(QStringLiteral("Gör om"), this, &CodeTextBox::redo)->setEnabled(!redo_.empty());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Klipp ut"), this, &CodeTextBox::cut)->setEnabled(selected);
    menu.addAction(QStringLiteral("Kopiera"), this, &CodeTextBox::copy)->setEnabled(selected);
    menu.addAction(QStringLiteral("Klistra in"), this, &CodeTextBox::paste);
    menu.addAction(QStringLiteral("Ta bort"), this,
                   [this] { Safely([this] { removeSelection(); }); })
        ->setEnabled(selected);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Markera allt"), this, &CodeTextBox::selectAll);
    try {
        menu.exec(event->globalPos());
    } catch (const std::bad_alloc&) {
        QApplication::beep();
    }
}

void CodeTextBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void CodeTextBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace tolvana::ui
