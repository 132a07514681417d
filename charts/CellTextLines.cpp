#include "charts/CellTextLines.h"

#include "data/MonitorData.h"

namespace {

// Neighbour 7 may still get a bar in the chart, but only six lines fit under it.
constexpr int32_t LastListedNeighbor = 6;

// Levels are magnitudes; the columns show them negated. Widened so that an absurd
// level of -2147483648 negates without overflow.
std::string LevelColumn(int32_t level) {
    return FormatInt(-static_cast<int64_t>(level), 4);
}

std::string NeighborLine(const TCell& cell) {
    return FormatInt(cell.Channel, 4) + ' ' + LevelColumn(cell.Level) + ' ' + PlmnText(cell.Plmn) +
           ' ' + FormatInt(cell.Lac, 5) + ' ' + IdentityColumnText(cell.Ci) + ' ' +
           FormatInt(cell.C1, 2) + ' ' + FormatInt(cell.C2, 3) + ' ' + cell.BCodeText() + ' ' +
           cell.ServiceChar();
}

}  // namespace

std::string ServingCellLine(const TCellData& data) {
    if (!data.IdentityValid) {
        return {};
    }
    const TCell& serving = data.Cell(0);
    // Column B takes the raw remainder here, unlike the neighbour lines: a missing code
    // shows as 7, a negative one as a negative digit. The C2 column stays blank.
    return FormatInt(serving.Channel, 4) + ' ' + LevelColumn(serving.Level) + ' ' +
           PlmnText(data.ServingPlmn()) + ' ' + data.LacText + ' ' + data.CiText + ' ' +
           FormatInt(serving.C1, 2) + "     " + FormatInt(data.ServingBCode() % 8, 1) + ' ' +
           serving.ServiceChar();
}

std::string NeighborLines(const TCellData& data) {
    std::string text;
    for (int32_t i = 1; i <= LastListedNeighbor; ++i) {
        const TCell& cell = data.Cell(i);
        if (cell.Level != NoValue) {
            text += NeighborLine(cell) + "\r\n";
        }
    }
    return TrimRightText(text);
}
