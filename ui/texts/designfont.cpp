#include "ui/texts/designfont.h"

#include <QApplication>

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

} // namespace tolvana::ui
