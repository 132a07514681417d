// The reception polar chart: four level polygons over the eight directions and a grid.
#include "charts/PolarChart.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "charts/Bands.h"

namespace {

constexpr int32_t CentreLevel = 90;     // this level and weaker sit at the centre
constexpr int32_t FullRadiusSpan = 45;  // level 45 lies on the full radius
constexpr int32_t RingStep = 45;        // the only step that closes the eight spokes

int32_t SeriesRadius(const TDirectionSlot& slot, size_t series, int32_t fullRadius) {
    return slot.HasData ? LevelRadius(slot.Levels[series], fullRadius) : 0;
}

TSeriesPoints SeriesPoints(const TDirectionSlots& directions, size_t series, int32_t centre,
                           int32_t startAngle, int32_t stepAngle) {
    TSeriesPoints points;
    for (int32_t i = 0; i < DirectionCount; ++i) {
        const auto& slot = directions[static_cast<size_t>(i)];
        points[static_cast<size_t>(i)] = PolarPoint(
            centre, DirectionBearing(startAngle, stepAngle, i), SeriesRadius(slot, series, centre));
    }
    points[8] = stepAngle == RingStep ? points[0] : QPoint(centre, centre);
    return points;
}

// Whether filling the square leaves nothing of an earlier drawing.
bool CoversImage(QSize size) {
    return size.height() <= size.width();
}

int32_t LevelLabelHeight() {
    return BandImageSizes[BandImageLevelTop].height();
}

}  // namespace

int32_t LevelRadius(int32_t level, int32_t fullRadius) {
    const int64_t span = int64_t{CentreLevel} - std::min(level, CentreLevel);
    const int64_t radius = span * fullRadius / FullRadiusSpan;
    return static_cast<int32_t>(std::min<int64_t>(radius, MaxPolarRadius));
}

int64_t DirectionBearing(int32_t startAngle, int32_t stepAngle, int32_t index) {
    return int64_t{startAngle} + int64_t{stepAngle} * index;
}

QPoint PolarPoint(int32_t centre, int64_t bearing, int32_t radius) {
    const long double angle =
        static_cast<long double>(bearing) * std::numbers::pi_v<long double> / 180;
    const int64_t dx = RoundNearest(radius * std::sin(angle));
    const int64_t dy = RoundNearest(radius * std::cos(angle));
    return QPoint(static_cast<int>(centre + dx), static_cast<int>(centre - dy));
}

TPolarGrid PolarGrid(int32_t width, int32_t labelHeight) {
    TPolarGrid grid;
    grid.Width = width;
    grid.Centre = width / 2;
    grid.Diagonal =
        static_cast<int32_t>(RoundNearest(grid.Centre / std::numbers::sqrt2_v<long double>));
    grid.Radius50 = LevelRadius(50, grid.Centre);
    grid.Radius75 = LevelRadius(75, grid.Centre);
    // Just right of the vertical axis, the label's lowest row two rows above its circle.
    grid.Label50 = QPoint(grid.Centre + 1, grid.Centre - grid.Radius50 - labelHeight - 1);
    grid.Label75 = QPoint(grid.Centre + 1, grid.Centre - grid.Radius75 - labelHeight - 1);
    return grid;
}

TPolarPlan PlanPolarChart(const TDirectionSlots& directions, int32_t width, int32_t startAngle,
                          int32_t stepAngle, int32_t labelHeight) {
    TPolarPlan plan;
    plan.Grid = PolarGrid(width, labelHeight);
    for (size_t s = 0; s < plan.Series.size(); ++s) {
        plan.Series[s] = SeriesPoints(directions, s, plan.Grid.Centre, startAngle, stepAngle);
    }
    return plan;
}

void TReceptionPolarChart::SetSlots(const TDirectionSlots& directions) {
    Slots_ = directions;
}

void TReceptionPolarChart::ClearChart() {
    const int32_t width = CanvasSize().width();
    Draw([width](IChartPainter& painter) { painter.FillSquare(width, WhiteColor); },
         CoversImage(CanvasSize()));
    ShowOnPaintBox();
}

void TReceptionPolarChart::Redraw() {
    // Planned when painted: a chart nobody looks at costs no trigonometry.
    Draw(
        [directions = Slots_, width = CanvasSize().width(), start = StartAngle,
         step = StepAngle](IChartPainter& painter) {
            painter.PaintPolarChart(
                PlanPolarChart(directions, width, start, step, LevelLabelHeight()));
        },
        CoversImage(CanvasSize()));
    ShowOnPaintBox();
}
