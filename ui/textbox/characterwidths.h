#pragma once

// How wide each character of a text box is drawn in the box's font, and what
// a box draws in place of a character that no font shows.
//
// Widths are kept in whole 1/64 pixels, so that summing the widths of a
// million characters is quick and gives the same result wherever it is done.
// A table is made on the GUI thread and never changed afterwards, so threads
// that prepare a text may read it too.

#include <QFont>
#include <QString>

#include <cstdint>
#include <vector>

namespace tolvana::ui {

class CharacterWidths {
public:
    // A distance in 1/64 pixel.
    using Fixed = std::int64_t;
    static constexpr Fixed kOne = 64;

    explicit CharacterWidths(const QFont& font);

    // Characters drawn as a framed abbreviation rather than as a glyph: the
    // control characters (other than tab) and the Unicode line and paragraph
    // separators, none of which a font draws visibly. A surrogate without its
    // partner is framed too; that depends on its neighbours (see Advance).
    static bool IsFramed(char16_t c);
    // The abbreviation drawn in the frame: "NUL", "LF", "DEL", "LS", or the
    // code in hexadecimal ("85", "D800").
    static QString Abbreviation(char16_t c);

    // Where the character at `i` of `text` ends when it starts at `x`. The
    // first half of a surrogate pair is as wide as the pair and the second
    // half takes no room; a half without its partner is framed. `size` is
    // the text's length.
    Fixed Step(Fixed x, const char16_t* text, std::int64_t i, std::int64_t size) const {
        const char16_t c = text[i];
        if (c < kTabled) {
            if (c == u'\t') return NextTab(x);
            return x + advance_[c];
        }
        return x + Advance(text, i, size);
    }
    // The width of a character of the table or of one above it that is no
    // surrogate; tabs excluded.
    Fixed Advance(char16_t c) const { return c < kTabled ? advance_[c] : fallback_; }
    // The width of the character at `i` of `text`, surrogates included; tabs
    // excluded.
    Fixed Advance(const char16_t* text, std::int64_t i, std::int64_t size) const {
        return SurrogateOrOther(text[i], i > 0 ? text[i - 1] : 0, i + 1 < size ? text[i + 1] : 0);
    }
    // The width of `c` between `before` and `after` (0 at either end of the
    // text); tabs excluded.
    Fixed SurrogateOrOther(char16_t c, char16_t before, char16_t after) const;
    Fixed NextTab(Fixed x) const { return (x / tabStop_ + 1) * tabStop_; }

    const QFont& font() const { return font_; }
    const QFont& smallFont() const { return small_; }
    double ascent() const { return ascent_; }
    int lineHeight() const { return lineHeight_; }
    // The width given to the end of a line, where a selected line break is
    // drawn.
    Fixed breakWidth() const { return fallback_ / 2; }

    // Characters below this have a width of their own; the others, the
    // scripts that would make Qt search for fallback fonts, take the width
    // of "W".
    static constexpr char16_t kTabled = 0x2150;

private:
    QFont font_;
    QFont small_;
    std::vector<std::int32_t> advance_;
    Fixed fallback_ = 8 * kOne;
    Fixed loneSurrogate_ = 24 * kOne;
    Fixed tabStop_ = 80 * kOne;
    double ascent_ = 10;
    int lineHeight_ = 14;
};

} // namespace tolvana::ui
