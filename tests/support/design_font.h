#pragma once

// Whether a window test runs with the fonts its drawn geometry was made for.

#include <QApplication>
#include <QFontInfo>

namespace tolvana::testing {

// Whether the design font (Liberation Sans, or Arial with its widths) is
// there: only then does the window keep the drawn geometry to the pixel. Qt's
// offscreen platform in the Windows build under Wine has no fonts of the
// system, and its stand-in's wider letters make the window grow instead.
inline bool DesignFontPresent() {
    const QString family = QFontInfo(QApplication::font()).family();
    return family == u"Liberation Sans" || family == u"Arial";
}

} // namespace tolvana::testing
