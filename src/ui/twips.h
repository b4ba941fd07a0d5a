#pragma once

// The layout's twips as Qt rectangles, at 96 dots per inch: Qt's high-DPI
// scaling then keeps the whole layout proportional.

#include "design/twips.h"

#include <QRect>

namespace ui {

inline QRect toPixels(const design::Twips &twips)
{
    const design::PixelRect rect = twips.toPixels();
    return QRect(rect.left, rect.top, rect.width, rect.height);
}

}  // namespace ui
