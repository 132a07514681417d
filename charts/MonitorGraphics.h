#pragma once
// The band rule, the band images and the two charts of the main window: the reception
// polar chart and the neighbour bar chart. Every number a drawing needs comes from the
// plain functions below, so that the geometry can be checked without looking at pixels.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "charts/PaintTargets.h"
#include "data/CellData.h"
#include "data/DirectionSlot.h"

class QPainter;

// ---------------------------------------------------------------------------------------
// Colours

inline constexpr QRgb clWhite = qRgb(255, 255, 255);
inline constexpr QRgb clBlack = qRgb(0, 0, 0);
inline constexpr QRgb clYellow = qRgb(255, 255, 0);
inline constexpr QRgb clSilver = qRgb(192, 192, 192);
// The Windows default face colour; the window paints its background with it too, so the
// gap between the two strips of the bar chart blends into the window.
inline constexpr QRgb clBtnFace = qRgb(240, 240, 240);

// Serving cell, strongest, second and third strongest neighbour.
inline constexpr std::array<QRgb, 4> PolarColors{qRgb(0, 160, 0), qRgb(0, 240, 0), clYellow,
                                                 qRgb(255, 144, 0)};

inline constexpr QRgb ServingBarColor = qRgb(224, 0, 0);
inline constexpr QRgb SameAreaBarColor = qRgb(0, 176, 48);
inline constexpr QRgb SameNetworkBarColor = qRgb(144, 240, 0);
inline constexpr QRgb OtherNetworkBarColor = qRgb(144, 144, 255);
inline constexpr QRgb UnknownNetworkBarColor = clSilver;

// ---------------------------------------------------------------------------------------
// Bands

// Position of a GSM channel on a channel axis: 1..194 for the 900 band (955..1023 first,
// then 0..124), the channel itself for the 1800 band (512..885), 0 for any other channel.
int32_t ChannelPosition(int32_t channel);

enum class TBand { None, Gsm900, Gsm1800 };

// The band a ChannelPosition result belongs to.
TBand BandOfPosition(int32_t position);

// ---------------------------------------------------------------------------------------
// Band images

enum TBandImageIndex : int {
    biEdge,
    biG900,
    biG1800,
    biEG900,
    biGSMR,
    biLvlTop,
    biLvlMid,
    biLvlBtm,
    biUMTS,
    BandImageCount
};

// Resource names, in index order.
inline constexpr std::array<const char*, BandImageCount> BandImageNames{
    "EDGE", "G900", "G1800", "EG900", "GSMR", "LVLTOP", "LVLMID", "LVLBTM", "UMTS"};

// The pictures' sizes, fixed with the resources; layouts use them without loading images.
inline constexpr std::array<QSize, BandImageCount> BandImageSizes{
    QSize(6, 7),  QSize(35, 7), QSize(41, 7), QSize(41, 7), QSize(29, 7),
    QSize(13, 7), QSize(13, 7), QSize(13, 7), QSize(27, 7)};

struct TBandImage {
    QImage Bitmap;            // as stored in the resource
    bool Transparent = true;  // white pixels are not drawn
    QImage Drawable;          // Bitmap ready for drawing, with its transparency applied
};

using TBandImageTable = std::array<TBandImage, BandImageCount>;

// Loads the nine images from the program's resources, replacing any loaded before.
// Throws std::runtime_error naming the resource when one is missing, unreadable or not of
// its size in BandImageSizes; the table is then left as it was.
void LoadBandImages();
bool BandImagesLoaded();
// The shared table; empty images until LoadBandImages has succeeded.
const TBandImageTable& BandImages();

// Draws band image `index` with its top-left pixel at `topLeft`, honouring its transparency.
void DrawBandImage(QPainter& painter, TBandImageIndex index, QPoint topLeft);

// ---------------------------------------------------------------------------------------
// Polar chart geometry

// Round to nearest, halves to the even neighbour.
int64_t RoundNearest(long double value);

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

// The dots of a dotted line from `from` up to, but not including, `to`: every other pixel,
// starting with `from`. For horizontal, vertical and 45-degree lines.
std::vector<QPoint> DottedLinePoints(QPoint from, QPoint to);

// The dots of a dotted circle: every other pixel of the midpoint circle of `radius` around
// `centre`, which spans exactly centre - radius to centre + radius both ways.
std::vector<QPoint> DottedCirclePoints(QPoint centre, int32_t radius);

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

// ---------------------------------------------------------------------------------------
// Bar chart geometry

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

QRgb NeighborBarColor(const TCell& neighbor, int32_t servingPlmn, int32_t recordLac);

struct TBarDrawing {
    QRect Bar;
    QRgb Color = 0;
    std::optional<QPoint> EdgeMarker;
};

struct TLevelMark {
    int32_t Row = 0;
    TBandImageIndex Label = biLvlTop;
    QPoint LabelPosition;
};

struct TStripPlan {
    int32_t Base = 0;
    TChannelAxis Axis;
    TBandImageIndex Name = biG900;
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

// ---------------------------------------------------------------------------------------
// Charts

class TReceptionPolarChart {
  public:
    TReceptionPolarChart();

    void AttachPaintBox(TPaintBox* paintBox);
    void FitToPaintBox();
    void SetSlots(const TDirectionSlots& directions);
    void ClearChart();
    void Redraw();
    const QImage& Image() const { return Image_; }

    int32_t StepAngle = 45;
    int32_t StartAngle = 0;

  private:
    void ShowOnPaintBox();

    QImage Image_;
    TPaintBox* PaintBox = nullptr;
    TDirectionSlots Slots{};
};

class TNeighborBarChart {
  public:
    TNeighborBarChart();

    void AttachPaintBox(TPaintBox* paintBox);
    void FitToPaintBox();
    void SetCellData(const TCellData* measurement);
    void Redraw();
    const QImage& Image() const { return Image_; }
    const TAxisMemory& AxisMemory() const { return Axes; }

    TTextLabel* CurrentCellLabel = nullptr;
    TTextLabel* NeighborsLabel = nullptr;
    bool ShowEdgeMarkers = false;

  private:
    void UpdateLabels(const TCellData& data);
    void Paint(const TBarChartPlan& plan);

    QImage Image_;
    TPaintBox* PaintBox = nullptr;
    const TCellData* Measurement = nullptr;
    TAxisMemory Axes;
};
