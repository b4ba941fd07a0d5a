#pragma once

// Positions and sizes are written in twips, as the layout was drawn, and
// converted here only: 15 twips are one logical pixel (96 dots per inch).
// Qt's high-DPI scaling then keeps the whole layout proportional.

#include <QRect>

#include <cmath>

namespace ui {

inline constexpr int kTwipsPerPixel = 15;

constexpr int pixels(int twips)
{
    // Round half away from zero, so that 7.5 pixels and -7.5 pixels stay symmetric.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

// A rectangle as the layout gives it: left, top, width, height in twips.
struct Twips {
    int left;
    int top;
    int width;
    int height;

    QRect toPixels() const { return QRect(pixels(left), pixels(top), pixels(width), pixels(height)); }
};

}  // namespace ui
