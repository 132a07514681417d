#pragma once
// The reception polar chart: the levels of the serving cell and the three strongest
// neighbours over the eight directions. Every number a drawing needs comes from the plain
// functions below, so that the geometry can be checked without looking at pixels.

#include <QPoint>
#include <QSize>
#include <array>
#include <cstdint>

#include "charts/ChartCanvas.h"
#include "charts/ChartColors.h"
#include "data/DirectionSlot.h"

// The chart's size in the window and in every headless drawing.
inline constexpr QSize PolarChartSize{163, 163};

// Serving cell, strongest, second and third strongest neighbour.
inline constexpr std::array<TRgb, 4> PolarColors{Rgb(0, 160, 0), Rgb(0, 240, 0), YellowColor,
                                                 Rgb(255, 144, 0)};

// Radius of a level on a chart whose full radius (level 45) is `fullRadius`; level 90 and
// weaker lie at the centre. Radii of absurdly strong levels are capped at MaxPolarRadius,
// far outside any image, to keep later arithmetic in range.
inline constexpr int32_t MaxPolarRadius = 1 << 20;
int32_t LevelRadius(int32_t level, int32_t fullRadius);

// Bearing of direction `index` in degrees, clockwise from straight up. Wide enough that
// absurd header angles cannot overflow.
int64_t DirectionBearing(int32_t startAngle, int32_t stepAngle, int32_t index);

// The pixel at `bearing` degrees and `radius` from (centre, centre).
QPoint PolarPoint(int32_t centre, int64_t bearing, int32_t radius);

using TSeriesPoints = std::array<QPoint, 9>;

struct TPolarGrid {
    int32_t Width = 0;     // W
    int32_t Centre = 0;    // R: centre coordinate and full radius
    int32_t Diagonal = 0;  // t: half the extent of each diagonal
    int32_t Radius50 = 0;
    int32_t Radius75 = 0;
    QPoint Label50;  // top-left of LVLTOP
    QPoint Label75;  // top-left of LVLMID
};

TPolarGrid PolarGrid(int32_t width, int32_t labelHeight);

struct TPolarPlan {
    TPolarGrid Grid;
    std::array<TSeriesPoints, 4> Series;
};

// Every position a polar drawing of `directions` uses on an image of `width` pixels.
TPolarPlan PlanPolarChart(const TDirectionSlots& directions, int32_t width, int32_t startAngle,
                          int32_t stepAngle, int32_t labelHeight);

class TReceptionPolarChart : public TChartCanvas {
  public:
    void SetSlots(const TDirectionSlots& directions);
    void ClearChart();
    void Redraw();

    int32_t StepAngle = 45;
    int32_t StartAngle = 0;

  private:
    TDirectionSlots Slots_{};
};
