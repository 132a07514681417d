#pragma once
// What both charts share: the image they draw on, its hand-over to a paint box, and the
// plain geometry of rounding and dotted shapes.

#include <QImage>
#include <QPoint>
#include <cstdint>
#include <vector>

#include "charts/PaintTargets.h"

// Round to nearest, halves to the even neighbour.
int64_t RoundNearest(long double value);

// The dots of a dotted line from `from` up to, but not including, `to`: every other pixel,
// starting with `from`. For horizontal, vertical and 45-degree lines.
std::vector<QPoint> DottedLinePoints(QPoint from, QPoint to);

// The dots of a dotted circle: every other pixel of the midpoint circle of `radius` around
// `centre`, which spans exactly centre - radius to centre + radius both ways.
std::vector<QPoint> DottedCirclePoints(QPoint centre, int32_t radius);

// The image a chart draws on and the paint box that shows it. Creating a chart loads the band
// images on first use.
class TChartCanvas {
  public:
    void AttachPaintBox(TPaintBox* paintBox);
    // A new white image of the paint box's size.
    void FitToPaintBox();
    const QImage& Image() const { return Image_; }

  protected:
    TChartCanvas();
    ~TChartCanvas() = default;
    TChartCanvas(const TChartCanvas&) = default;
    TChartCanvas& operator=(const TChartCanvas&) = default;

    bool HasImage() const { return !Image_.isNull(); }
    QImage& Canvas() { return Image_; }
    // Hands the whole image to the paint box, if there is one.
    void ShowOnPaintBox();

  private:
    QImage Image_;
    TPaintBox* PaintBox_ = nullptr;
};
