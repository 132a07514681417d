// Turns the charts' drawings into pixels: Qt's painter, aliased and pixel exact.
#include "drawing/ChartImage.h"

#include <QPainter>
#include <QPolygon>
#include <tuple>

#include "charts/BarChart.h"
#include "charts/PolarChart.h"
#include "drawing/BandImages.h"
#include "drawing/ChartDrawing.h"

namespace {

QPolygon PolygonOf(const TSeriesPoints& points) {
    return QPolygon(QList<QPoint>(points.begin(), points.end()));
}

void PaintSeries(QPainter& painter, const TPolarPlan& plan) {
    for (size_t s = 0; s < plan.Series.size(); ++s) {
        painter.setPen(SolidPen(PolarColors[s]));
        painter.setBrush(QColor(PolarColors[s]));
        painter.drawPolygon(PolygonOf(plan.Series[s]), Qt::OddEvenFill);
    }
    // The serving cell's outline again, on top of the neighbour polygons.
    painter.setPen(SolidPen(PolarColors[0]));
    painter.drawPolyline(PolygonOf(plan.Series[0]));
}

void PaintLevelCircle(QPainter& painter, const TPolarGrid& grid, int32_t radius,
                      TBandImageIndex label, QPoint labelPosition) {
    DrawDots(painter, DottedCirclePoints(QPoint(grid.Centre, grid.Centre), radius));
    DrawBandImage(painter, label, labelPosition);
}

void PaintGrid(QPainter& painter, const TPolarGrid& grid) {
    const int32_t r = grid.Centre;
    const int32_t w = grid.Width;
    const int32_t t = grid.Diagonal;
    painter.setPen(SolidPen(BlackColor));
    DrawLineBeforeEnd(painter, QPoint(r, 0), QPoint(r, w));
    DrawLineBeforeEnd(painter, QPoint(0, r), QPoint(w, r));
    DrawLineBeforeEnd(painter, QPoint(r - t, r - t), QPoint(r + t, r + t));
    DrawLineBeforeEnd(painter, QPoint(r + t, r - t), QPoint(r - t, r + t));
    PaintLevelCircle(painter, grid, grid.Radius50, BandImageLevelTop, grid.Label50);
    PaintLevelCircle(painter, grid, grid.Radius75, BandImageLevelMid, grid.Label75);
}

// The chart is square: only the square at the top is the chart's, whatever the image's height.
void FillTopSquare(QPainter& painter, int32_t width, TRgb color) {
    painter.fillRect(QRect(0, 0, width, width), QColor(color));
}

void PaintBars(QImage& image, const TBarChartPlan& plan, TRgb gapColor) {
    TChartPainter painter(image);
    painter.fillRect(image.rect(), QColor(WhiteColor));
    if (plan.Gap) {
        painter.fillRect(*plan.Gap, QColor::fromRgba(gapColor));
    }
    for (const TBarDrawing& bar : plan.Bars) {
        painter.fillRect(bar.Bar, QColor(bar.Color));
        if (bar.EdgeMarker) {
            DrawBandImage(painter, BandImageEdge, *bar.EdgeMarker);
        }
    }
    std::vector<const TStripPlan*> strips;  // the 900 strip first
    for (const auto* strip : {&plan.Strip900, &plan.Strip1800}) {
        if (*strip) {
            strips.push_back(&**strip);
        }
    }
    for (size_t level = 0; level < std::tuple_size_v<decltype(TStripPlan::Levels)>; ++level) {
        for (const TStripPlan* strip : strips) {
            const int32_t row = strip->Levels[level].Row;
            DrawDots(painter, DottedLinePoints(QPoint(0, row), QPoint(image.width(), row)));
        }
        for (const TStripPlan* strip : strips) {
            const TLevelMark& mark = strip->Levels[level];
            DrawBandImage(painter, mark.Label, mark.LabelPosition);
        }
    }
    for (const TStripPlan* strip : strips) {
        DrawBandImage(painter, strip->Name, strip->NamePosition);
    }
}

class TImagePainter : public IChartPainter {
  public:
    explicit TImagePainter(QImage& image) : Image_(image) {}

    void FillSquare(int32_t width, TRgb color) override {
        TChartPainter painter(Image_);
        FillTopSquare(painter, width, color);
    }

    void PaintPolarChart(const TPolarPlan& plan) override {
        TChartPainter painter(Image_);
        FillTopSquare(painter, plan.Grid.Width, WhiteColor);
        PaintSeries(painter, plan);
        PaintGrid(painter, plan.Grid);
    }

    void PaintBarChart(const TBarChartPlan& plan, TRgb gapColor) override {
        PaintBars(Image_, plan, gapColor);
    }

  private:
    QImage& Image_;
};

}  // namespace

QImage ChartImage(const TChartCanvas& chart) {
    if (!chart.HasImage()) {
        return QImage();
    }
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    // A fresh image holds whatever memory it got; start from white instead.
    QImage image(chart.CanvasSize(), QImage::Format_RGB32);
    image.fill(WhiteColor);
    TImagePainter painter(image);
    chart.Replay(painter);
    return image;
}
