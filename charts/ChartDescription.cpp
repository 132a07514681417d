#include "charts/ChartDescription.h"

#include <QStringList>

#include "charts/PolarChart.h"

namespace {

constexpr int32_t FullCircle = 360;

// Levels are magnitudes: 62 stands for -62 dBm.
QString LevelText(int32_t level) {
    if (level == NoValue) {
        return QStringLiteral("no level");
    }
    return QStringLiteral("%1 dBm").arg(-int64_t{level});
}

QString NeighborLevelsText(const TDirectionSlot& slot) {
    QStringList levels;
    for (size_t i = 1; i < slot.Levels.size(); ++i) {
        if (slot.Levels[i] != NoValue) {
            levels << LevelText(slot.Levels[i]);
        }
    }
    if (levels.isEmpty()) {
        return QStringLiteral("no neighbours");
    }
    const QString last = levels.takeLast();
    return (levels.isEmpty() ? QStringLiteral("neighbour ") : QStringLiteral("neighbours ")) +
           (levels.isEmpty() ? last : levels.join(QStringLiteral(", ")) + " and " + last);
}

QString StripText(TBandImageIndex name) {
    switch (name) {
        case BandImageGsmr:
            return QStringLiteral("GSM-R");
        case BandImageEG900:
            return QStringLiteral("E-GSM 900");
        case BandImageG1800:
            return QStringLiteral("GSM 1800");
        default:
            return QStringLiteral("GSM 900");
    }
}

// What a neighbour bar's colour says of the cell's network.
QString NetworkText(TRgb color) {
    switch (color) {
        case SameAreaBarColor:
            return QStringLiteral(", same location area");
        case SameNetworkBarColor:
            return QStringLiteral(", same network, other location area");
        case OtherNetworkBarColor:
            return QStringLiteral(", other network");
        case UnknownNetworkBarColor:
            return QStringLiteral(", unknown network");
        default:
            return {};
    }
}

QString BarText(const TBarDrawing& bar, const TCell& cell) {
    const QString who = bar.Cell == 0 ? QStringLiteral("Serving cell")
                                      : QStringLiteral("Neighbour %1").arg(bar.Cell);
    return QStringLiteral("%1: channel %2, %3%4%5")
        .arg(who)
        .arg(cell.Channel)
        .arg(LevelText(cell.Level), bar.Cell == 0 ? QString() : NetworkText(bar.Color),
             bar.EdgeMarker ? QStringLiteral(", EDGE") : QString());
}

}  // namespace

int32_t CompassBearing(int64_t bearing) {
    return static_cast<int32_t>((bearing % FullCircle + FullCircle) % FullCircle);
}

QString DirectionText(int index, int64_t bearing) {
    return QStringLiteral("Direction %1, %2\u00b0").arg(index).arg(CompassBearing(bearing));
}

QString PolarChartDescription(const TDirectionSlots& directions, int32_t startAngle,
                              int32_t stepAngle) {
    QStringList parts;
    for (int i = 0; i < DirectionCount; ++i) {
        const TDirectionSlot& slot = directions[static_cast<size_t>(i)];
        if (slot.HasData) {
            parts << QStringLiteral("%1: serving cell %2, %3.")
                         .arg(DirectionText(i, DirectionBearing(startAngle, stepAngle, i)),
                              LevelText(slot.Levels[0]), NeighborLevelsText(slot));
        }
    }
    if (parts.isEmpty()) {
        return QStringLiteral("No direction has data.");
    }
    return parts.join(QLatin1Char(' '));
}

QString BarChartDescription(const TCellData& data, const TAxisMemory& memory,
                            bool showEdgeMarkers) {
    const TBarChartPlan plan =
        PlanBarChart(data, SurveyBands(data), memory, BarChartSize, showEdgeMarkers);
    QStringList strips;
    for (const auto& strip : {plan.Strip900, plan.Strip1800}) {
        if (strip) {
            strips << StripText(strip->Name);
        }
    }
    if (strips.isEmpty()) {
        return QStringLiteral("No cells received.");
    }
    QStringList parts{
        (strips.size() == 1 ? QStringLiteral("Band %1.") : QStringLiteral("Bands %1."))
            .arg(strips.join(QStringLiteral(" and ")))};
    for (const TBarDrawing& bar : plan.Bars) {
        parts << BarText(bar, data.Cell(bar.Cell)) + QLatin1Char('.');
    }
    return parts.join(QLatin1Char(' '));
}
