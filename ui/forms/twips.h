#pragma once

// Window layouts are given in twips; the program shows 15 twips per logical
// pixel.

#include <QRect>

namespace tolvana::ui {

constexpr int TwipsToPixels(int twips) { return (twips + 7) / 15; }

constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

} // namespace tolvana::ui
