#pragma once
// Pens shared by both charts. Internal to the charts library.

#include <QColor>
#include <QPen>

inline QPen ChartPen(QRgb color, Qt::PenStyle style) {
    QPen pen{QColor(color)};
    pen.setStyle(style);
    pen.setWidth(1);
    pen.setCosmetic(true);
    // A flat cap ends a one-pixel line before its end point, as the chart geometry expects.
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

inline QPen SolidPen(QRgb color) {
    return ChartPen(color, Qt::SolidLine);
}

// Black dots; with the painter's default transparent background mode the gaps leave the
// pixels beneath unchanged.
inline QPen DottedPen() {
    return ChartPen(qRgb(0, 0, 0), Qt::DotLine);
}
