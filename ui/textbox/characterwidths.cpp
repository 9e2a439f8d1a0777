#include "ui/textbox/characterwidths.h"

#include <QFontMetricsF>
#include <QRawFont>

#include <algorithm>
#include <cmath>

namespace tolvana::ui {
namespace {

constexpr char16_t kDelete = 0x7F;

// Ranges measured ahead: Latin with its extensions and modifier letters, and
// the punctuation, currency and letterlike symbols; other scripts take the
// fallback width.
bool IsMeasured(char16_t c) { return c < 0x0250 || (c >= 0x02B0 && c < 0x0300) || c >= 0x2000; }

CharacterWidths::Fixed ToFixed(double pixels) {
    return static_cast<CharacterWidths::Fixed>(std::lround(pixels * CharacterWidths::kOne));
}

} // namespace

bool CharacterWidths::IsFramed(char16_t c) {
    return (c < 0x20 && c != u'\t') || (c >= kDelete && c <= 0x9F) || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

QString CharacterWidths::Abbreviation(char16_t c) {
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

CharacterWidths::CharacterWidths(const QFont& font) : font_(font), small_(font) {
    if (font.pointSizeF() > 0)
        small_.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.7));
    else
        small_.setPixelSize(std::max(7, font.pixelSize() * 7 / 10));
    const QFontMetricsF metrics(font_);
    const QFontMetricsF smallMetrics(small_);
    // Only what the box's own font has is measured: a character it lacks
    // would make Qt search the system's fonts for another that has it.
    const QRawFont own = QRawFont::fromFont(font_);
    const double frame = 6; // the frame around an abbreviation and its margins
    fallback_ = ToFixed(metrics.horizontalAdvance(QChar(u'W')));
    advance_.assign(kTabled, static_cast<std::int32_t>(fallback_));
    for (char16_t c = 0; c < kTabled; ++c) {
        if (IsFramed(c))
            advance_[c] = static_cast<std::int32_t>(
                ToFixed(smallMetrics.horizontalAdvance(Abbreviation(c)) + frame));
        else if (IsMeasured(c) && (c < 0x80 || own.supportsCharacter(QChar(c))))
            advance_[c] = static_cast<std::int32_t>(ToFixed(metrics.horizontalAdvance(QChar(c))));
    }
    // Every lone surrogate gets the width of the widest of their codes.
    double widestHex = 0;
    for (const char* digit : {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "A", "B", "C",
                              "D", "E", "F"})
        widestHex = std::max(widestHex, smallMetrics.horizontalAdvance(QLatin1String(digit)));
    loneSurrogate_ = ToFixed(4 * widestHex + frame);
    // The tab stops of a plain text edit: every 80 pixels.
    tabStop_ = 80 * kOne;
    ascent_ = metrics.ascent();
    // Lines are as far apart as in a plain text edit in the same font.
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.lineSpacing())));
}

CharacterWidths::Fixed CharacterWidths::SurrogateOrOther(char16_t c, char16_t before,
                                                          char16_t after) const {
    if (QChar::isHighSurrogate(c)) return QChar::isLowSurrogate(after) ? fallback_ : loneSurrogate_;
    if (QChar::isLowSurrogate(c)) return QChar::isHighSurrogate(before) ? 0 : loneSurrogate_;
    return Advance(c);
}

} // namespace tolvana::ui
