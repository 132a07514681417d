#pragma once
// What both charts share: the drawings they make, their hand-over to a paint box, and the
// plain geometry of rounding and dotted shapes. Turning drawings into pixels is the painter's
// work (drawing/ChartImage.h), so that checking a log never needs an image library.

#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>
#include <vector>

#include "charts/ChartColors.h"
#include "charts/PaintTargets.h"

struct TPolarPlan;
struct TBarChartPlan;

// Round to nearest, halves to the even neighbour.
int64_t RoundNearest(long double value);

// The dots of a dotted line from `from` up to, but not including, `to`: every other pixel,
// starting with `from`. For horizontal, vertical and 45-degree lines.
std::vector<QPoint> DottedLinePoints(QPoint from, QPoint to);

// The dots of a dotted circle: every other pixel of the midpoint circle of `radius` around
// `centre`, which spans exactly centre - radius to centre + radius both ways.
std::vector<QPoint> DottedCirclePoints(QPoint centre, int32_t radius);

// Puts the drawings of a chart into pixels, one call per drawing, on an image that starts
// white.
class IChartPainter {
  public:
    virtual ~IChartPainter() = default;
    // The square of `width` pixels at the top of the image, in `color`.
    virtual void FillSquare(int32_t width, TRgb color) = 0;
    virtual void PaintPolarChart(const TPolarPlan& plan) = 0;
    virtual void PaintBarChart(const TBarChartPlan& plan, TRgb gapColor) = 0;
};

// The size of a chart's image and the drawings on it since the last one that covers it whole.
class TChartCanvas {
  public:
    void AttachPaintBox(TPaintBox* paintBox);
    // A new white image of the paint box's size: earlier drawings are dropped.
    void FitToPaintBox();

    bool HasImage() const { return !Size_.isEmpty(); }
    QSize CanvasSize() const { return Size_; }
    // Paints every drawing kept, oldest first; on a white image of CanvasSize they give the
    // chart as it stands.
    void Replay(IChartPainter& painter) const;

  protected:
    using TDrawing = std::function<void(IChartPainter&)>;

    TChartCanvas() = default;
    ~TChartCanvas() = default;
    TChartCanvas(const TChartCanvas&) = default;
    TChartCanvas& operator=(const TChartCanvas&) = default;

    // Keeps a drawing; one that covers the image makes the earlier ones unnecessary.
    void Draw(TDrawing drawing, bool coversImage);
    // Lets the paint box show the chart, if there is one that shows drawings.
    void ShowOnPaintBox();

  private:
    QSize Size_;
    std::vector<TDrawing> Drawings_;
    TPaintBox* PaintBox_ = nullptr;
};
