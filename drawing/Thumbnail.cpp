// Text-free on purpose: the thumbnail is drawn where no font may be looked up (a file manager's
// sandbox without a writable cache), so every glyph of a mark is a shape.
#include "drawing/Thumbnail.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <algorithm>
#include <cstdint>

#include "charts/ChartColors.h"

namespace {

// Every pixel of `image` as a block of factor x factor pixels.
QImage EnlargedByBlocks(const QImage& image, int factor) {
    const QImage source = image.convertToFormat(QImage::Format_RGB32);
    if (factor == 1) {
        return source;
    }
    QImage enlarged(source.size() * factor, QImage::Format_RGB32);
    for (int y = 0; y < enlarged.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(source.constScanLine(y / factor));
        auto* to = reinterpret_cast<QRgb*>(enlarged.scanLine(y));
        for (int x = 0; x < enlarged.width(); ++x) {
            to[x] = from[x / factor];
        }
    }
    return enlarged;
}

// Enlarged by Factor, then, when Smooth, reduced smoothly to the thumbnail's size.
struct TThumbnailFit {
    int Factor = 1;
    bool Smooth = false;
};

TThumbnailFit FitThumbnail(int chartSide, int size) {
    const int whole = size / chartSide;
    if (whole >= 1 && int64_t{whole} * chartSide * 8 >= int64_t{size} * 7) {
        return {whole, false};
    }
    return {std::max(1, (size + chartSide - 1) / chartSide), true};
}

// Where a mark's shapes are given: a box of side 1, its top-left corner at (0, 0).
struct TMarkStyle {
    QPainterPath Body;
    TRgb BodyColor;
    QPainterPath Glyph;  // a line, drawn with a pen
    TRgb GlyphColor;
    qreal GlyphWidth;
    Qt::PenCapStyle GlyphCap;
};

QPainterPath Polygon(std::initializer_list<QPointF> corners) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(corners)));
    path.closeSubpath();
    return path;
}

QPainterPath Line(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    return path;
}

// Colours apart from the chart's own, so that a mark never melts into the polygons under it.
TMarkStyle MarkStyle(TVerdictMark mark) {
    switch (mark) {
        case TVerdictMark::Ok: {
            QPainterPath disc;
            disc.addEllipse(QPointF(0.5, 0.5), 0.46, 0.46);
            const QPainterPath tick = Line({{0.24, 0.52}, {0.42, 0.70}, {0.76, 0.32}});
            return {disc, Rgb(0, 120, 60), tick, WhiteColor, 0.12, Qt::RoundCap};
        }
        case TVerdictMark::NotValid: {
            QPainterPath cross = Line({{0.28, 0.28}, {0.72, 0.72}});
            cross.addPath(Line({{0.72, 0.28}, {0.28, 0.72}}));
            return {Polygon({{0.08, 0.08}, {0.92, 0.08}, {0.92, 0.92}, {0.08, 0.92}}),
                    Rgb(210, 0, 0),
                    cross,
                    WhiteColor,
                    0.13,
                    Qt::RoundCap};
        }
        case TVerdictMark::NotInterpretable: {
            // The exclamation mark's stem, and its dot as a short stroke.
            QPainterPath exclamation = Line({{0.5, 0.36}, {0.5, 0.60}});
            exclamation.addPath(Line({{0.5, 0.75}, {0.5, 0.77}}));
            return {Polygon({{0.5, 0.05}, {0.96, 0.90}, {0.04, 0.90}}),
                    Rgb(250, 200, 0),
                    exclamation,
                    BlackColor,
                    0.11,
                    Qt::SquareCap};
        }
        case TVerdictMark::NotChecked:
            break;
    }
    return {Polygon({{0.5, 0.04}, {0.96, 0.5}, {0.5, 0.96}, {0.04, 0.5}}),
            Rgb(120, 120, 120),
            Line({{0.26, 0.5}, {0.74, 0.5}}),
            WhiteColor,
            0.13,
            Qt::FlatCap};
}

QPen ShapePen(QColor color, qreal width, Qt::PenCapStyle cap) {
    return QPen(color, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

// A white rim first, so that the mark stands out on any chart, then the shape with a darker
// edge, then its glyph.
void PaintMark(QPainter& painter, TVerdictMark mark, QRectF box) {
    const TMarkStyle style = MarkStyle(mark);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(box.topLeft());
    painter.scale(box.width(), box.height());
    painter.strokePath(style.Body, ShapePen(QColor(WhiteColor), 0.10, Qt::RoundCap));
    const QColor body(style.BodyColor);
    painter.fillPath(style.Body, body);
    painter.strokePath(style.Body, ShapePen(body.darker(160), 0.03, Qt::RoundCap));
    painter.strokePath(style.Glyph,
                       ShapePen(QColor(style.GlyphColor), style.GlyphWidth, style.GlyphCap));
    painter.restore();
}

}  // namespace

QImage ThumbnailImage(const QImage& chart, int size, TVerdictMark mark) {
    QImage thumbnail(size, size, QImage::Format_RGB32);
    thumbnail.fill(WhiteColor);
    QPainter painter(&thumbnail);
    if (!chart.isNull()) {
        const TThumbnailFit fit = FitThumbnail(std::max(chart.width(), chart.height()), size);
        QImage fitted = EnlargedByBlocks(chart, fit.Factor);
        if (fit.Smooth) {
            fitted = fitted.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        painter.drawImage((size - fitted.width()) / 2, (size - fitted.height()) / 2, fitted);
    }
    const int side = size / 3;
    const int corner = size - size / 32 - side;
    PaintMark(painter, mark, QRectF(corner, corner, side, side));
    return thumbnail;
}
