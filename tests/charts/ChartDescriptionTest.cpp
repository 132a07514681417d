// The charts in words, as a screen reader says them: what the drawings show, nothing they do
// not.
#include <gtest/gtest.h>

#include <vector>

#include "charts/ChartDescription.h"
#include "tests/charts/ChartTestSupport.h"

namespace {

struct GivenSlot {
    int Index;
    std::array<int32_t, 4> Levels;
};

TDirectionSlots Slots(const std::vector<GivenSlot>& withData) {
    TDirectionSlots directions{};
    for (const GivenSlot& slot : withData) {
        directions[static_cast<size_t>(slot.Index)].HasData = true;
        directions[static_cast<size_t>(slot.Index)].Levels = slot.Levels;
    }
    // Levels left behind by an earlier log stay unspoken where there is no data now.
    directions[6].Levels = {40, 41, 42, 43};
    return directions;
}

TEST(ChartDescriptionTest, PolarChartSaysEachDirectionWithData) {
    struct Case {
        TDirectionSlots Directions;
        int32_t Start, Step;
        const char* Expected;
    };
    const Case cases[] = {
        {Slots({}), 0, 45, "No direction has data."},
        {Slots({{0, {62, 70, 75, 80}}, {3, {55, 60, NoValue, NoValue}}}), 0, 45,
         "Direction 0, 0\u00b0: serving cell -62 dBm, neighbours -70 dBm, -75 dBm and -80 dBm. "
         "Direction 3, 135\u00b0: serving cell -55 dBm, neighbour -60 dBm."},
        // Bearings as a compass reads them, whatever the offset and the angle.
        {Slots({{1, {NoValue, NoValue, NoValue, NoValue}}, {7, {90, 91, 95, NoValue}}}), -30, 50,
         "Direction 1, 20\u00b0: serving cell no level, no neighbours. "
         "Direction 7, 320\u00b0: serving cell -90 dBm, neighbours -91 dBm and -95 dBm."},
        {Slots({{2, {-5, 70, 75, 80}}}), 400, 45,
         "Direction 2, 130\u00b0: serving cell 5 dBm, neighbours -70 dBm, -75 dBm and -80 dBm."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PolarChartDescription(c.Directions, c.Start, c.Step).toStdString(), c.Expected);
    }
    EXPECT_EQ(DirectionText(5, int64_t{-2147483647} * 8).toStdString(), "Direction 5, 64\u00b0");
}

TEST(ChartDescriptionTest, BarChartSaysItsStripsAndEachBar) {
    TAxisMemory gsmrSeen;
    gsmrSeen.Axis900Min = 1;
    struct Case {
        TCellData Data;
        TAxisMemory Memory;
        bool EdgeMarkers;
        const char* Expected;
    };
    const Case cases[] = {
        {TCellData{}, {}, true, "No cells received."},
        {Record({
             {62, 50, HomePlmn, 1},
             {1, 75, HomePlmn, HomeLac, EdgeService},
             {100, 60, HomePlmn, 1},
             {124, 95, 26202},
             {30, 80, 0},
             {40, 109},      // too weak for a bar
             {50, NoValue},  // missing
             {70, 90, NoValue},
             {80, 60},  // neighbour 8 never gets a bar
         }),
         {},
         true,
         "Band GSM 900. Serving cell: channel 62, -50 dBm. "
         "Neighbour 1: channel 1, -75 dBm, same location area, EDGE. "
         "Neighbour 2: channel 100, -60 dBm, same network, other location area. "
         "Neighbour 3: channel 124, -95 dBm, other network. "
         "Neighbour 4: channel 30, -80 dBm, unknown network. "
         "Neighbour 7: channel 70, -90 dBm, other network."},
        // The strip's name follows what the chart has seen; no marker where none is drawn.
        {Record({{20, 60}, {600, 70, HomePlmn, HomeLac, EdgeService}}), gsmrSeen, false,
         "Bands GSM-R and GSM 1800. Serving cell: channel 20, -60 dBm. "
         "Neighbour 1: channel 600, -70 dBm, same location area."},
        // A serving cell in no strip of the drawing gets no bar, so no words either.
        {Record({{600, 120}, {10, 60}}),
         {},
         true,
         "Band GSM 900. Neighbour 1: channel 10, -60 dBm, same location area."},
    };
    for (const Case& c : cases) {
        TAxisMemory memory = c.Memory;
        memory.Widen(SurveyBands(c.Data));
        EXPECT_EQ(BarChartDescription(c.Data, memory, c.EdgeMarkers).toStdString(), c.Expected);
    }
}

}  // namespace
