// The drawings and geometry both charts share.
#include "charts/ChartCanvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TChartCanvas::AttachPaintBox(TPaintBox* paintBox) {
    PaintBox_ = paintBox;
    FitToPaintBox();
}

void TChartCanvas::FitToPaintBox() {
    if (PaintBox_ == nullptr) {
        return;
    }
    Size_ = QSize(PaintBox_->Width(), PaintBox_->Height());
    Drawings_.clear();
}

void TChartCanvas::Replay(IChartPainter& painter) const {
    for (const TDrawing& drawing : Drawings_) {
        drawing(painter);
    }
}

void TChartCanvas::Draw(TDrawing drawing, bool coversImage) {
    if (!HasImage()) {
        return;
    }
    if (coversImage) {
        Drawings_.clear();
    }
    Drawings_.push_back(std::move(drawing));
}

void TChartCanvas::ShowOnPaintBox() {
    if (PaintBox_ != nullptr && PaintBox_->ShowsDrawings()) {
        PaintBox_->ShowChart(*this);
    }
}

int64_t RoundNearest(long double value) {
    // The default floating-point rounding mode sends halves to the even neighbour.
    return std::llrint(value);
}

std::vector<QPoint> DottedLinePoints(QPoint from, QPoint to) {
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const QPoint step((dx > 0) - (dx < 0), (dy > 0) - (dy < 0));
    const int length = std::max(std::abs(dx), std::abs(dy));
    std::vector<QPoint> dots;
    for (int i = 0; i < length; i += 2) {
        dots.push_back(from + step * i);
    }
    return dots;
}

std::vector<QPoint> DottedCirclePoints(QPoint centre, int32_t radius) {
    std::vector<QPoint> dots;
    if (radius < 0) {
        return dots;
    }
    // One octant by the midpoint rule, from the axis to the diagonal, mirrored into all
    // eight. Counting steps from each axis keeps the dots alternating across the octant
    // borders, since mirrored octants meet with the same step count.
    int x = radius;
    int y = 0;
    int decision = 1 - radius;
    for (int step = 0; y <= x; ++step) {
        if (step % 2 == 0) {
            for (QPoint offset : {QPoint(x, y), QPoint(y, x), QPoint(-y, x), QPoint(-x, y),
                                  QPoint(-x, -y), QPoint(-y, -x), QPoint(y, -x), QPoint(x, -y)}) {
                dots.push_back(centre + offset);
            }
        }
        ++y;
        if (decision < 0) {
            decision += 2 * y + 1;
        } else {
            --x;
            decision += 2 * (y - x) + 1;
        }
    }
    // Mirroring repeats the pixels on the axes and diagonals.
    std::sort(dots.begin(), dots.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    dots.erase(std::unique(dots.begin(), dots.end()), dots.end());
    return dots;
}
