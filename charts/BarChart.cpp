// The neighbour bar chart: one bar per received cell on the 900 and 1800 channel axes.
#include "charts/BarChart.h"

#include <algorithm>

#include "charts/CellTextLines.h"
#include "data/Utilities.h"

namespace {

constexpr int32_t LastBarCell = 7;  // neighbour 8 never gets a bar
constexpr uint8_t ServiceEdge = 3;  // service letter E
constexpr int32_t AxisSpan = 124;   // positions shown at scale 2
constexpr float NarrowScale = 2.0f;
constexpr long double WideColumns = 246;
constexpr int32_t ColumnOffset = 2;
constexpr int32_t GapRows = 5;

struct TLevelLine {
    int32_t Level;
    TBandImageIndex Label;
};
constexpr std::array<TLevelLine, 3> LevelLines{
    {{50, BandImageLevelTop}, {75, BandImageLevelMid}, {95, BandImageLevelBottom}}};

bool HasBarLevel(const TCell& cell) {
    return cell.Level < NoBarLevel;
}

TBandImageIndex Name900(const TAxisMemory& memory) {
    if (memory.GsmrSeen()) {
        return BandImageGsmr;
    }
    return memory.EgsmSeen() ? BandImageEG900 : BandImageG900;
}

TStripPlan StripPlan(int32_t base, TChannelAxis axis, TBandImageIndex name,
                     const TStripLayout& layout, int32_t imageWidth) {
    TStripPlan strip;
    strip.Base = base;
    strip.Axis = axis;
    strip.Name = name;
    strip.NamePosition = BandNamePosition(base, layout.BandHeight);
    for (size_t i = 0; i < LevelLines.size(); ++i) {
        TLevelMark& mark = strip.Levels[i];
        const int32_t h = BarHeight(LevelLines[i].Level, layout.BandHeight, layout.HeightFactor);
        mark.Row = base - h;
        mark.Label = LevelLines[i].Label;
        mark.LabelPosition = LevelLabelPosition(imageWidth, mark.Row, BandImageSizes[mark.Label]);
    }
    return strip;
}

const std::optional<TStripPlan>& StripOfChannel(const TBarChartPlan& plan, int32_t channel) {
    static const std::optional<TStripPlan> none;
    switch (BandOfPosition(ChannelPosition(channel))) {
        case TBand::Gsm900:
            return plan.Strip900;
        case TBand::Gsm1800:
            return plan.Strip1800;
        case TBand::None:
            break;
    }
    return none;
}

// A serving cell too weak to count in the survey may sit in a strip that is not laid out
// in this drawing; it then gets no bar rather than one placed on a guessed axis.
std::optional<TBarDrawing> BarOf(const TCell& cell, TRgb color, const TBarChartPlan& plan,
                                 bool showEdgeMarkers) {
    const std::optional<TStripPlan>& strip = StripOfChannel(plan, cell.Channel);
    if (!strip) {
        return std::nullopt;
    }
    const TStripLayout& layout = plan.Layout;
    const int32_t x = AxisColumn(strip->Axis, ChannelPosition(cell.Channel));
    const int32_t h = BarHeight(cell.Level, layout.BandHeight, layout.HeightFactor);
    TBarDrawing bar;
    bar.Bar = BarRect(x, strip->Base, h);
    bar.Color = color;
    if (showEdgeMarkers && cell.ServiceLetter == ServiceEdge) {
        bar.EdgeMarker = EdgeMarkerPosition(x, strip->Base, h, layout.BandHeight);
    }
    return bar;
}

std::vector<TBarDrawing> BarsOf(const TCellData& data, const TBarChartPlan& plan,
                                bool showEdgeMarkers) {
    std::vector<TBarDrawing> bars;
    auto add = [&](int32_t index, TRgb color) {
        if (auto bar = BarOf(data.Cell(index), color, plan, showEdgeMarkers)) {
            bar->Cell = index;
            bars.push_back(*bar);
        }
    };
    add(0, ServingBarColor);
    for (int32_t i = 1; i <= LastBarCell; ++i) {
        const TCell& cell = data.Cell(i);
        if (HasBarLevel(cell)) {
            add(i, NeighborBarColor(cell, data.ServingPlmn(), data.Lac));
        }
    }
    return bars;
}

const TCellData& EmptyRecord() {
    static const TCellData empty;
    return empty;
}

}  // namespace

TBandSurvey SurveyBands(const TCellData& data) {
    TBandSurvey survey;
    for (int32_t i = 0; i <= LastBarCell; ++i) {
        const TCell& cell = data.Cell(i);
        if (!HasBarLevel(cell)) {
            continue;
        }
        const int32_t p = ChannelPosition(cell.Channel);
        switch (BandOfPosition(p)) {
            case TBand::Gsm900:
                survey.Has900 = true;
                survey.Lo900 = std::min(survey.Lo900, p);
                survey.Hi900 = std::max(survey.Hi900, p);
                break;
            case TBand::Gsm1800:
                survey.Has1800 = true;
                survey.Lo1800 = std::min(survey.Lo1800, p);
                survey.Hi1800 = std::max(survey.Hi1800, p);
                break;
            case TBand::None:
                break;
        }
    }
    return survey;
}

void TAxisMemory::Widen(const TBandSurvey& survey) {
    Axis900Min = std::min(Axis900Min, survey.Lo900);
    Axis1800Min = std::min(Axis1800Min, survey.Lo1800);
    Axis900Max = std::max(Axis900Max, survey.Hi900);
    Axis1800Max = std::max(Axis1800Max, survey.Hi1800);
}

TChannelAxis ChannelAxis(int32_t lo, int32_t hi, bool is900) {
    const int32_t d = hi - lo;
    if (d < AxisSpan) {
        // Centre a narrow range in the span of 124 positions.
        int32_t start = lo - (AxisSpan - d) / 2;
        if (is900) {
            start = std::max(start, 0);
        }
        return {start, NarrowScale};
    }
    return {lo, static_cast<float>(WideColumns / (d + 1))};
}

int32_t AxisColumn(const TChannelAxis& axis, int32_t position) {
    const long double offset = static_cast<long double>(position) - axis.Start;
    return static_cast<int32_t>(RoundNearest(offset * axis.Scale)) + ColumnOffset;
}

TStripLayout StripLayout(bool has900, bool has1800, int32_t imageHeight) {
    TStripLayout layout;
    layout.Has900 = has900;
    layout.Has1800 = has1800;
    if (has900 && has1800) {
        layout.BandHeight = (imageHeight - GapRows) / 2;
        layout.HeightFactor = 1;
        layout.Base1800 = layout.BandHeight - 1;
        layout.Base900 = imageHeight - 1;
    } else {
        layout.BandHeight = imageHeight;
        layout.HeightFactor = 2;
        layout.Base900 = imageHeight - 1;
        layout.Base1800 = imageHeight - 1;
    }
    return layout;
}

int32_t BarHeight(int32_t level, int32_t bandHeight, int32_t heightFactor) {
    const int64_t height = int64_t{heightFactor} * (int64_t{NoBarLevel} - level);
    return static_cast<int32_t>(std::min<int64_t>(bandHeight - 1, std::max<int64_t>(0, height)));
}

QRect BarRect(int32_t x, int32_t base, int32_t barHeight) {
    return QRect(QPoint(x, base - barHeight + 1), QPoint(x + 1, base + 1));
}

QPoint EdgeMarkerPosition(int32_t x, int32_t base, int32_t barHeight, int32_t bandHeight) {
    // The marker's lowest row stays one row clear of the bar, and the marker never rises
    // above the strip's top row.
    const int32_t y = std::max(base - barHeight, base - bandHeight + 8);
    return QPoint(x - 2, y - 7);
}

QPoint LevelLabelPosition(int32_t imageWidth, int32_t lineRow, QSize label) {
    return QPoint(imageWidth - label.width(), lineRow - label.height() - 1);
}

QPoint BandNamePosition(int32_t base, int32_t bandHeight) {
    return QPoint(1, base - bandHeight + 2);
}

QRect GapRect(int32_t imageWidth, int32_t bandHeight) {
    return QRect(0, bandHeight, imageWidth + 1, GapRows);
}

TRgb NeighborBarColor(const TCell& neighbor, int32_t servingPlmn, int32_t recordLac) {
    if (neighbor.Plmn == servingPlmn) {
        return neighbor.Lac == recordLac ? SameAreaBarColor : SameNetworkBarColor;
    }
    return neighbor.Plmn > 0 ? OtherNetworkBarColor : UnknownNetworkBarColor;
}

TBarChartPlan PlanBarChart(const TCellData& data, const TBandSurvey& survey,
                           const TAxisMemory& memory, QSize size, bool showEdgeMarkers) {
    TBarChartPlan plan;
    plan.Layout = StripLayout(survey.Has900, survey.Has1800, size.height());
    if (plan.Layout.HasGap()) {
        plan.Gap = GapRect(size.width(), plan.Layout.BandHeight);
    }
    if (survey.Has900) {
        plan.Strip900 =
            StripPlan(plan.Layout.Base900, ChannelAxis(memory.Axis900Min, memory.Axis900Max, true),
                      Name900(memory), plan.Layout, size.width());
    }
    if (survey.Has1800) {
        plan.Strip1800 = StripPlan(plan.Layout.Base1800,
                                   ChannelAxis(memory.Axis1800Min, memory.Axis1800Max, false),
                                   BandImageG1800, plan.Layout, size.width());
    }
    plan.Bars = BarsOf(data, plan, showEdgeMarkers);
    return plan;
}

void TNeighborBarChart::SetCellData(const TCellData* measurement) {
    Measurement_ = measurement;
}

void TNeighborBarChart::Redraw() {
    // Nothing selected yet reads as an empty record.
    const TCellData& data = Measurement_ != nullptr ? *Measurement_ : EmptyRecord();
    const TBandSurvey survey = SurveyBands(data);
    Axes_.Widen(survey);
    UpdateLabels(data);
    if (HasImage()) {
        Draw([plan = PlanBarChart(data, survey, Axes_, CanvasSize(), ShowEdgeMarkers),
              gap = GapColor](IChartPainter& painter) { painter.PaintBarChart(plan, gap); },
             true);
    }
    ShowOnPaintBox();
}

void TNeighborBarChart::UpdateLabels(const TCellData& data) {
    if (CurrentCellLabel != nullptr) {
        CurrentCellLabel->SetText(ServingCellLine(data));
    }
    if (NeighborsLabel != nullptr) {
        NeighborsLabel->SetText(NeighborLines(data));
    }
}
