#include "ui/texts/designfont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>

#include <algorithm>
#include <cmath>

namespace tolvana::ui {

QFont DesignFont() {
    QFont font;
    // Arial where Liberation Sans is missing: the same widths.
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    // In logical pixels, so the layout keeps its proportions at any scale.
    font.setPixelSize(11);
    return font;
}

void UseDesignFont() { QApplication::setFont(DesignFont()); }

QFont ProgramFont(const QFont& system) {
    // The design's 11 pixels stand for the desktop's usual 9-point font, 12
    // pixels at 96 dots per inch (Segoe UI 9 on Windows, Sans 9 on Linux);
    // a larger system font enlarges it in proportion, a smaller one never
    // makes it smaller.
    constexpr double kUsualPixels = 12.0;
    QFont font = DesignFont();
    const double scaled = font.pixelSize() * QFontInfo(system).pixelSize() / kUsualPixels;
    font.setPixelSize(std::max(font.pixelSize(), int(std::lround(scaled))));
    return font;
}

void UseProgramFont() {
    QApplication::setFont(ProgramFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont)));
}

} // namespace tolvana::ui
