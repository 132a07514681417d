#pragma once
// The colours every part of the charts shares.

#include <QRgb>

inline constexpr QRgb WhiteColor = qRgb(255, 255, 255);
inline constexpr QRgb BlackColor = qRgb(0, 0, 0);
inline constexpr QRgb YellowColor = qRgb(255, 255, 0);
inline constexpr QRgb SilverColor = qRgb(192, 192, 192);
// The Windows default face colour; the window paints its background with it too, so the
// gap between the two strips of the bar chart blends into the window.
inline constexpr QRgb ButtonFaceColor = qRgb(240, 240, 240);
