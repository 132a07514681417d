#pragma once
// The colours every part of the charts shares.

#include <cstdint>

// A colour as 0xAARRGGBB, the layout of Qt's QRgb, so that an image takes it as it is.
using TRgb = std::uint32_t;

constexpr TRgb Rgb(int red, int green, int blue) {
    return 0xff000000u | (static_cast<TRgb>(red) & 0xff) << 16 |
           (static_cast<TRgb>(green) & 0xff) << 8 | (static_cast<TRgb>(blue) & 0xff);
}

inline constexpr TRgb WhiteColor = Rgb(255, 255, 255);
inline constexpr TRgb BlackColor = Rgb(0, 0, 0);
inline constexpr TRgb YellowColor = Rgb(255, 255, 0);
inline constexpr TRgb SilverColor = Rgb(192, 192, 192);
// The Windows default face colour; the window paints its background with it too, so the
// gap between the two strips of the bar chart blends into the window.
inline constexpr TRgb ButtonFaceColor = Rgb(240, 240, 240);
