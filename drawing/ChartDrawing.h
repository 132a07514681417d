#pragma once
// Drawing helpers shared by both charts. Internal to the drawing library.

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <vector>

#include "charts/ChartColors.h"

// A one-pixel cosmetic pen. Qt's flat cap drops the first or the last pixel depending on a
// line's direction, so the square cap (both end pixels) stays and DrawLineBeforeEnd
// shortens the lines instead.
inline QPen SolidPen(TRgb color) {
    QPen pen{QColor(color)};
    pen.setWidth(1);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// Draws the pixels from `from` up to, but not including, `to`. Only for horizontal,
// vertical and 45-degree lines, the only straight lines the charts draw, where stepping
// back one pixel is exact.
inline void DrawLineBeforeEnd(QPainter& painter, QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    if (dx == 0 && dy == 0) {
        return;
    }
    const QPoint step((dx > 0) - (dx < 0), (dy > 0) - (dy < 0));
    painter.drawLine(from, to - step);
}

// Black single pixels; everything between them stays as it is. Qt's own dash stroker
// places dots off the solid outline of a curve, so the dotted shapes are rasterised here.
inline void DrawDots(QPainter& painter, const std::vector<QPoint>& dots) {
    painter.setPen(SolidPen(BlackColor));
    painter.drawPoints(QPolygon(QList<QPoint>(dots.begin(), dots.end())));
}

// A painter on a chart image, set up the way every chart draws: aliased, pixel exact.
class TChartPainter : public QPainter {
  public:
    explicit TChartPainter(QImage& image) : QPainter(&image) {
        setRenderHint(QPainter::Antialiasing, false);
    }
};
