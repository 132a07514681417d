#pragma once
// The neighbour bar chart: one bar per received cell of the selected direction on the 900 and
// 1800 MHz channel axes. Every number a drawing needs comes from the plain functions below, so
// that the geometry can be checked without looking at pixels.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "charts/Bands.h"
#include "charts/ChartCanvas.h"
#include "charts/ChartColors.h"
#include "data/CellData.h"

// The chart's size in the window and in every headless drawing.
inline constexpr QSize BarChartSize{252, 153};

inline constexpr TRgb ServingBarColor = Rgb(224, 0, 0);
inline constexpr TRgb SameAreaBarColor = Rgb(0, 176, 48);
inline constexpr TRgb SameNetworkBarColor = Rgb(144, 240, 0);
inline constexpr TRgb OtherNetworkBarColor = Rgb(144, 144, 255);
inline constexpr TRgb UnknownNetworkBarColor = SilverColor;

inline constexpr int32_t NoBarLevel = 109;  // levels from here on get no bar of their own

struct TBandSurvey {
    bool Has900 = false;
    bool Has1800 = false;
    int32_t Lo900 = 71;
    int32_t Hi900 = 194;
    int32_t Lo1800 = 885;
    int32_t Hi1800 = 512;
};

// Which bands the cells 0..7 with a bar-worthy level occupy, and their position ranges.
TBandSurvey SurveyBands(const TCellData& data);

// The axis ranges of a bar chart. They only ever widen, so the axis stays put while the
// user steps through the directions of one file or through several files.
struct TAxisMemory {
    int32_t Axis900Min = 71;
    int32_t Axis900Max = 194;
    int32_t Axis1800Min = 885;
    int32_t Axis1800Max = 512;

    void Widen(const TBandSurvey& survey);
    bool GsmrSeen() const { return Axis900Min < 21; }
    bool EgsmSeen() const { return Axis900Min < 71; }
};

struct TChannelAxis {
    int32_t Start = 0;
    float Scale = 2.0f;  // kept in single precision on purpose: it sets the bar columns
};

TChannelAxis ChannelAxis(int32_t lo, int32_t hi, bool is900);
// Left column of the bar of a cell at `position`.
int32_t AxisColumn(const TChannelAxis& axis, int32_t position);

struct TStripLayout {
    int32_t BandHeight = 0;    // H
    int32_t HeightFactor = 2;  // k
    bool Has900 = false;
    bool Has1800 = false;
    int32_t Base900 = 0;  // bottom row of each present strip
    int32_t Base1800 = 0;
    bool HasGap() const { return Has900 && Has1800; }
};

TStripLayout StripLayout(bool has900, bool has1800, int32_t imageHeight);

int32_t BarHeight(int32_t level, int32_t bandHeight, int32_t heightFactor);

// Columns x and x + 1, rows base - h + 1 to base + 1.
QRect BarRect(int32_t x, int32_t base, int32_t barHeight);
// Top-left of the EDGE marker over a bar.
QPoint EdgeMarkerPosition(int32_t x, int32_t base, int32_t barHeight, int32_t bandHeight);
// Top-left of a level image right-aligned in an image of `imageWidth`, above `lineRow`.
QPoint LevelLabelPosition(int32_t imageWidth, int32_t lineRow, QSize label);
QPoint BandNamePosition(int32_t base, int32_t bandHeight);
// The gap between the strips, right and bottom edge excluded.
QRect GapRect(int32_t imageWidth, int32_t bandHeight);

TRgb NeighborBarColor(const TCell& neighbor, int32_t servingPlmn, int32_t recordLac);

struct TBarDrawing {
    QRect Bar;
    TRgb Color = 0;
    std::optional<QPoint> EdgeMarker;
    int32_t Cell = 0;  // the record's cell: 0 serving, 1..7 neighbours
};

struct TLevelMark {
    int32_t Row = 0;
    TBandImageIndex Label = BandImageLevelTop;
    QPoint LabelPosition;
};

struct TStripPlan {
    int32_t Base = 0;
    TChannelAxis Axis;
    TBandImageIndex Name = BandImageG900;
    QPoint NamePosition;
    std::array<TLevelMark, 3> Levels;  // 50, 75, 95
};

struct TBarChartPlan {
    TStripLayout Layout;
    std::optional<QRect> Gap;
    std::vector<TBarDrawing> Bars;  // in drawing order
    std::optional<TStripPlan> Strip900;
    std::optional<TStripPlan> Strip1800;
};

// Everything a bar drawing of `data` puts into an image of `size`, given the survey of the
// record and the already widened axis memory.
TBarChartPlan PlanBarChart(const TCellData& data, const TBandSurvey& survey,
                           const TAxisMemory& memory, QSize size, bool showEdgeMarkers);

class TNeighborBarChart : public TChartCanvas {
  public:
    void SetCellData(const TCellData* measurement);
    void Redraw();
    const TAxisMemory& AxisMemory() const { return Axes_; }

    TTextLabel* CurrentCellLabel = nullptr;
    TTextLabel* NeighborsLabel = nullptr;
    bool ShowEdgeMarkers = false;
    // The colour of the paint box around the chart, which shows through the gap between the
    // two strips; the window sets its own face colour.
    TRgb GapColor = ButtonFaceColor;

  private:
    void UpdateLabels(const TCellData& data);

    const TCellData* Measurement_ = nullptr;
    TAxisMemory Axes_;
};
