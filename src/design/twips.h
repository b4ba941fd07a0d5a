#pragma once

// Positions and sizes are written in twips, as the layout was drawn, and
// converted to pixels here only: 1440 twips are one inch, so at 96 dots per
// inch 15 twips are one pixel.  A renderer whose toolkit scales for high DPI
// itself asks for the 96-DPI pixels; one that does not passes the monitor's
// DPI and gets the layout scaled in proportion.

namespace design {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerPixel = kTwipsPerInch / kDesignDpi;

constexpr int pixels(int twips, int dpi = kDesignDpi)
{
    // Round half away from zero, so that 7.5 pixels and -7.5 pixels stay symmetric.
    const long long scaled = static_cast<long long>(twips) * dpi;
    const long long half = kTwipsPerInch / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kTwipsPerInch : -((-scaled + half) / kTwipsPerInch));
}

struct PixelRect {
    int left;
    int top;
    int width;
    int height;

    constexpr bool operator==(const PixelRect &) const = default;
};

// A rectangle as the layout gives it: left, top, width, height in twips.
struct Twips {
    int left;
    int top;
    int width;
    int height;

    constexpr bool operator==(const Twips &) const = default;

    constexpr PixelRect toPixels(int dpi = kDesignDpi) const
    {
        return {pixels(left, dpi), pixels(top, dpi), pixels(width, dpi), pixels(height, dpi)};
    }
};

}  // namespace design
