#pragma once

// The text of a text box with what is known of its lines, and the history of
// its edits; no widgets.
//
// The text is one string with an index of where each line starts and how
// wide each line is, so that texts of millions of lines or of one line of
// millions of characters stay quick. The box has its own idea of a line
// break (CR LF or LF); every other control character is an ordinary
// character of the text. Within long lines the buffer keeps, every few
// thousand characters, where the character starts on screen, so that finding
// the place of a character never walks a whole line.
//
// An edit is recorded whole or not at all: when memory runs out, the edit
// throws std::bad_alloc and the text, its index and its history are as they
// were.

#include "ui/textbox/characterwidths.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tolvana::ui {

class TextBuffer {
public:
    enum class LineBreak { CrLf, Lf };
    using Fixed = CharacterWidths::Fixed;
    // The character of each code 0-255: how a text of codes is read.
    using CodeTable = std::array<char16_t, 256>;

    // Where a character starts on screen, kept for a place in a long line.
    struct Mark {
        qsizetype position = 0;
        Fixed x = 0;
        friend bool operator==(const Mark&, const Mark&) = default;
    };

    // A text with its line index, ready to be shown. Made by a Preparer on
    // any thread; setting it into a buffer takes no time.
    struct Content {
        QString text;
        std::vector<qsizetype> lineStarts{0};
        // The width of each line in whole pixels, rounded up.
        std::vector<std::int32_t> lineWidths{0};
        std::vector<Mark> marks;
        std::shared_ptr<const CharacterWidths> widths;
    };

    // Makes a Content for one buffer. A copy may be used on another thread.
    class Preparer {
    public:
        Preparer(LineBreak lineBreak, std::shared_ptr<const CharacterWidths> widths);
        Content operator()(QString text) const;
        // The same for a text of codes, read through `table`; `progress`
        // hears the fraction done now and then, and may throw to stop.
        Content fromCodes(std::string_view codes, const CodeTable& table,
                          const std::function<void(double)>& progress = {}) const;

    private:
        LineBreak lineBreak_;
        std::shared_ptr<const CharacterWidths> widths_;
    };

    // One edit as the history keeps it.
    struct Edit {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        // A whole text replaced at once (replaceContent()): the text that is
        // not in the buffer now, with its line index, moved in and out
        // whole; `removed` and `inserted` stay empty.
        std::shared_ptr<Content> other;
    };

    TextBuffer(LineBreak lineBreak, std::shared_ptr<const CharacterWidths> widths);

    LineBreak lineBreak() const { return lineBreak_; }
    qsizetype breakLength() const { return lineBreak_ == LineBreak::CrLf ? 2 : 1; }
    QString breakText() const;
    const QString& text() const { return content_.text; }
    qsizetype size() const { return content_.text.size(); }
    char16_t at(qsizetype position) const { return content_.text[position].unicode(); }

    Preparer preparer() const { return Preparer(lineBreak_, widths_); }
    // A new text: the history is cleared.
    void setContent(Content content);
    // A new text as one step of the history, which undo takes back. Only
    // the last such step is kept: an earlier one goes, with the edits before
    // it, so that the history never holds more than one other whole text.
    void replaceContent(Content content);
    const CharacterWidths& widths() const { return *widths_; }
    // Measures the text again in other widths.
    void setWidths(std::shared_ptr<const CharacterWidths> widths);

    // Lines: a line runs from its start to its end, where its break begins.
    qsizetype lineCount() const { return static_cast<qsizetype>(content_.lineStarts.size()); }
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineStart(qsizetype line) const {
        return content_.lineStarts[static_cast<std::size_t>(line)];
    }
    qsizetype lineEnd(qsizetype line) const;
    // Whether `position` lies between the CR and the LF of a line break.
    bool insideBreak(qsizetype position) const;
    // `position`, or the end of the line break it lies inside.
    qsizetype outsideBreak(qsizetype position) const {
        return insideBreak(position) ? position + 1 : position;
    }

    // Where a position lies across its line, and the position of a line
    // nearest to a place across it.
    Fixed xOf(qsizetype position) const;
    qsizetype positionInLine(qsizetype line, Fixed x) const;
    // The last place of a line that starts at or left of `x`, with where it
    // starts: where painting a line that is scrolled to `x` begins.
    Mark placeBefore(qsizetype line, Fixed x) const;
    // The width of the widest line, in whole pixels.
    std::int32_t widest() const { return widest_; }
    std::int32_t lineWidth(qsizetype line) const {
        return content_.lineWidths[static_cast<std::size_t>(line)];
    }

    // Replaces the text from `from` to `to`, and records it in the history;
    // gives the text that went. With `extendTyping`, an insertion right
    // after the last one that was recorded so joins it, so that typing
    // undoes as one piece.
    QString replace(qsizetype from, qsizetype to, const QString& text, bool extendTyping = false);
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // Takes back the last edit, or does again the last one taken back; gives
    // the edit as it now stands in the text (its inserted text is what the
    // text holds at its position), or nothing.
    const Edit* undo();
    const Edit* redo();
    // The next typing begins a piece of its own.
    void endTyping() { typing_ = false; }

    // Positions as a reader of the text sees them: in a CR LF buffer each
    // line break is one "\n", everywhere else a character of the text is one
    // character. Each takes only a look-up in the line index.
    qsizetype shownLength() const;
    qsizetype shownOffset(qsizetype position) const;
    qsizetype positionOfShown(qsizetype offset) const;
    // The text from one position to another as ToDisplay shows it.
    QString shownText(qsizetype from, qsizetype to) const;

    // How a text is shown in plain characters: line breaks as "\n", every
    // other control character as its Unicode picture (U+2400 onward); and
    // how such a showing reads back.
    static QString ToDisplay(const QString& text, LineBreak lineBreak);
    static QString FromDisplay(const QString& shown, LineBreak lineBreak);
    // The character a Unicode control picture stands for, or the character
    // itself.
    static QChar FromPicture(QChar c);

    // The marks kept now, for the tests of how they follow the edits.
    const std::vector<Mark>& marks() const { return marks_; }
    // How far apart marks are kept in a long line.
    static constexpr qsizetype kMarkSpacing = 2048;

private:
    // Changes the text without touching the history; false when nothing
    // changes. Whole or nothing, as replace().
    void apply(qsizetype from, qsizetype to, const QString& text);
    // Applies the last edit of `from` backwards and moves it to `to`.
    const Edit* takeBack(std::vector<Edit>& from, std::vector<Edit>& to);
    Fixed walk(qsizetype from, Fixed x, qsizetype to) const;
    // The last mark of a line at or before `position`, or the line's start.
    Mark markBefore(qsizetype line, qsizetype position) const;
    // Keeps marks along a walk from `from` to `to` that leaves them far apart.
    void addMarks(Mark from, qsizetype to, qsizetype lineEndPosition) const;
    std::int32_t measureLine(qsizetype line) const;
    void recomputeWidest();

    LineBreak lineBreak_;
    std::shared_ptr<const CharacterWidths> widths_;
    Content content_;
    // Marks sorted by position; a cache that edits keep right and walks fill.
    mutable std::vector<Mark> marks_;
    std::int32_t widest_ = 0;
    std::vector<Edit> undo_;
    std::vector<Edit> redo_;
    bool typing_ = false;
};

} // namespace tolvana::ui
