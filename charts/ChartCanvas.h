#pragma once
// What both charts share: the image they draw on, its hand-over to a paint box, and the
// plain geometry of rounding and dotted shapes.

#include <QImage>
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>
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
// images on first use. For a paint box that does not show drawings, paintings wait until the
// image is asked for, and a painting that sets every pixel drops those still waiting.
class TChartCanvas {
  public:
    void AttachPaintBox(TPaintBox* paintBox);
    // A new white image of the paint box's size.
    void FitToPaintBox();
    // The image with every painting made so far.
    const QImage& Image() const;

  protected:
    using TPainting = std::function<void(QImage&)>;

    TChartCanvas();
    ~TChartCanvas() = default;
    TChartCanvas(const TChartCanvas&) = default;
    TChartCanvas& operator=(const TChartCanvas&) = default;

    bool HasImage() const { return !Size_.isEmpty(); }
    QSize CanvasSize() const { return Size_; }
    // Paints on the image now or, while no paint box shows drawings, when it is asked for.
    void Paint(TPainting painting, bool coversImage);
    // Hands the whole image to the paint box, if there is one that shows drawings.
    void ShowOnPaintBox();

  private:
    bool Deferred() const { return PaintBox_ != nullptr && !PaintBox_->ShowsDrawings(); }

    QSize Size_;
    mutable QImage Image_;
    mutable std::vector<TPainting> Pending_;
    TPaintBox* PaintBox_ = nullptr;
};
