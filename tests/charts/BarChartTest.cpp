#include <gtest/gtest.h>

#include <vector>

#include "charts/CellTextLines.h"
#include "tests/charts/ChartTestSupport.h"

namespace {

TEST(BarGeometryTest, ChannelAxes) {
    struct Case {
        int32_t Lo, Hi;
        bool Is900;
        int32_t Start;
        float Scale;
        std::vector<std::pair<int32_t, int32_t>> Columns;  // position, left column
    };
    const Case cases[] = {
        {71, 194, true, 71, 2.0f, {{71, 2}, {132, 124}, {194, 248}}},
        {600, 600, false, 538, 2.0f, {{600, 126}}},
        {21, 194, true, 21, 1.4137931f, {{21, 2}, {132, 159}, {194, 247}}},
        {70, 194, true, 70, 1.968f, {{70, 2}, {194, 246}}},
        {10, 50, true, 0, 2.0f, {{10, 22}}},
        {512, 885, false, 512, 0.657754f, {{885, 247}}},
        {31, 194, true, 31, 1.5f, {{32, 4}, {34, 6}}},  // 1.5 and 4.5: halves go to even
    };
    for (const Case& c : cases) {
        const TChannelAxis axis = ChannelAxis(c.Lo, c.Hi, c.Is900);
        EXPECT_EQ(axis.Start, c.Start) << c.Lo << ".." << c.Hi;
        EXPECT_FLOAT_EQ(axis.Scale, c.Scale) << c.Lo << ".." << c.Hi;
        for (const auto& [position, column] : c.Columns) {
            EXPECT_EQ(AxisColumn(axis, position), column)
                << c.Lo << ".." << c.Hi << " @" << position;
        }
    }
    EXPECT_EQ(ChannelAxis(21, 194, true).Scale, static_cast<float>(246.0 / 174));
}

TEST(BarGeometryTest, BarHeights) {
    const std::pair<int32_t, int32_t> both[] = {{50, 59}, {75, 34},     {95, 14},
                                                {36, 73}, {20, 73},     {109, 0},
                                                {108, 1}, {NoValue, 0}, {INT32_MIN, 73}};
    const std::pair<int32_t, int32_t> one[] = {{50, 118}, {75, 68}, {95, 28}, {33, 152}, {34, 150}};
    for (const auto& [level, height] : both) {
        EXPECT_EQ(BarHeight(level, 74, 1), height) << level;
    }
    for (const auto& [level, height] : one) {
        EXPECT_EQ(BarHeight(level, 153, 2), height) << level;
    }
}

TEST(BarGeometryTest, StripsLinesLabelsAndNames) {
    TAxisMemory memory;
    memory.Widen(SurveyBands(Record({{62, 50}, {600, 50}})));
    const TCellData both = Record({{62, 50}, {600, 50}});
    const TBarChartPlan plan =
        PlanBarChart(both, SurveyBands(both), memory, QSize(252, 153), false);
    EXPECT_EQ(plan.Layout.BandHeight, 74);
    ASSERT_TRUE(plan.Strip900 && plan.Strip1800 && plan.Gap);
    EXPECT_EQ(*plan.Gap, QRect(0, 74, 253, 5));
    EXPECT_EQ(plan.Strip900->Base, 152);
    EXPECT_EQ(plan.Strip1800->Base, 73);
    const int rows900[] = {93, 118, 138};
    const int rows1800[] = {14, 39, 59};
    const int labels900[] = {85, 110, 130};
    const int labels1800[] = {6, 31, 51};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan.Strip900->Levels[i].Row, rows900[i]);
        EXPECT_EQ(plan.Strip1800->Levels[i].Row, rows1800[i]);
        EXPECT_EQ(plan.Strip900->Levels[i].LabelPosition, QPoint(239, labels900[i]));
        EXPECT_EQ(plan.Strip1800->Levels[i].LabelPosition, QPoint(239, labels1800[i]));
    }
    const TBandImageIndex levelImages[] = {BandImageLevelTop, BandImageLevelMid,
                                           BandImageLevelBottom};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plan.Strip900->Levels[i].Label, levelImages[i]);
        EXPECT_EQ(plan.Strip1800->Levels[i].Label, levelImages[i]);
    }
    EXPECT_EQ(plan.Strip900->NamePosition, QPoint(1, 80));
    EXPECT_EQ(plan.Strip1800->NamePosition, QPoint(1, 1));
    EXPECT_EQ(plan.Strip1800->Name, BandImageG1800);

    const TCellData one = Record({{62, 50}});
    const TBarChartPlan single =
        PlanBarChart(one, SurveyBands(one), TAxisMemory{}, QSize(252, 153), false);
    ASSERT_TRUE(single.Strip900 && !single.Strip1800 && !single.Gap);
    const int rowsOne[] = {34, 84, 124};
    const int labelsOne[] = {26, 76, 116};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(single.Strip900->Levels[i].Row, rowsOne[i]);
        EXPECT_EQ(single.Strip900->Levels[i].LabelPosition, QPoint(239, labelsOne[i]));
    }
    EXPECT_EQ(single.Strip900->NamePosition, QPoint(1, 1));
}

TEST(BarGeometryTest, DottedLineSkipsEveryOtherPixelAndItsEnd) {
    const auto dots = DottedLinePoints({0, 14}, {252, 14});
    ASSERT_EQ(dots.size(), 126u);
    EXPECT_EQ(dots.front(), QPoint(0, 14));
    EXPECT_EQ(dots.back(), QPoint(250, 14));
    EXPECT_EQ(DottedLinePoints({0, 5}, {5, 5}).size(), 3u);  // 0, 2, 4
    EXPECT_EQ(DottedLinePoints({0, 5}, {4, 5}).back(), QPoint(2, 5));
}

TEST(BarGeometryTest, NameOf900StripFollowsTheLowestChannelEverSeen) {
    const std::pair<int32_t, TBandImageIndex> cases[] = {
        {1, BandImageG900},     {124, BandImageG900}, {0, BandImageEG900}, {975, BandImageEG900},
        {1023, BandImageEG900}, {974, BandImageGsmr}, {955, BandImageGsmr}};
    for (const auto& [channel, name] : cases) {
        const TCellData data = Record({{62, 50}, {channel, 60}});
        TAxisMemory memory;
        memory.Widen(SurveyBands(data));
        const TBarChartPlan plan = PlanBarChart(data, SurveyBands(data), memory, {252, 153}, false);
        EXPECT_EQ(plan.Strip900->Name, name) << channel;
    }
}

TEST(BarGeometryTest, BarsOfARecord) {
    const TCellData data = Record({
        {62, 50, HomePlmn, 1, EdgeService},       // serving, EDGE, in another area than the record
        {1, 75, HomePlmn, HomeLac, EdgeService},  // same area as the record, EDGE
        {100, 60, HomePlmn, 1},                   // same network, other area
        {124, 95, 26202},                         // other network
        {30, 80, 0},                              // unknown network
        {40, 109},                                // too weak for a bar
        {50, NoValue},                            // missing
        {70, 90, NoValue},                        // neighbour 7
        {80, 60},                                 // neighbour 8: never drawn
    });
    const TBarChartPlan plan =
        PlanBarChart(data, SurveyBands(data), TAxisMemory{}, QSize(252, 153), true);
    ASSERT_EQ(plan.Bars.size(), 6u);
    const TBarDrawing expected[] = {
        {QRect(124, 35, 2, 119), ServingBarColor, QPoint(122, 27), 0},
        {QRect(2, 85, 2, 69), SameAreaBarColor, QPoint(0, 77), 1},
        {QRect(200, 55, 2, 99), SameNetworkBarColor, std::nullopt, 2},
        {QRect(248, 125, 2, 29), OtherNetworkBarColor, std::nullopt, 3},
        {QRect(60, 95, 2, 59), UnknownNetworkBarColor, std::nullopt, 4},
        {QRect(140, 115, 2, 39), OtherNetworkBarColor, std::nullopt, 7},
    };
    for (size_t i = 0; i < plan.Bars.size(); ++i) {
        EXPECT_EQ(plan.Bars[i].Bar, expected[i].Bar) << i;
        EXPECT_EQ(plan.Bars[i].Color, expected[i].Color) << i;
        EXPECT_EQ(plan.Bars[i].EdgeMarker, expected[i].EdgeMarker) << i;
        EXPECT_EQ(plan.Bars[i].Cell, expected[i].Cell) << i;
    }
    const TBarChartPlan unmarked =
        PlanBarChart(data, SurveyBands(data), TAxisMemory{}, QSize(252, 153), false);
    for (const TBarDrawing& bar : unmarked.Bars) {
        EXPECT_EQ(bar.EdgeMarker, std::nullopt);
    }
}

// The serving cell and neighbours 1 to 7 with a level below 109 on a channel of a band make
// the strips and widen the axes; neighbour 8, a weaker or missing level and a channel outside
// both bands do neither.
TEST(BarGeometryTest, SurveyCountsTheCellsWithABar) {
    const GivenCell none{0, NoValue};
    const struct {
        const char* Name;
        std::vector<GivenCell> Cells;
        TBandSurvey Expected;
    } cases[] = {
        {"neighbour 7",
         {{62, 50}, none, none, none, none, none, none, {600, 60}},
         {true, true, 71, 194, 600, 600}},
        {"neighbour 8",
         {{62, 50}, none, none, none, none, none, none, none, {600, 60}},
         {true, false, 71, 194, 885, 512}},
        {"level 109 and missing",
         {{62, 50}, {975, 109}, {600, NoValue}},
         {true, false, 71, 194, 885, 512}},
        {"outside the bands",
         {{300, 50}, {1024, 60}, {511, 60}},
         {false, false, 71, 194, 885, 512}},
        {"lowest and highest",
         {{62, 50}, {700, 60}, {975, 60}, {600, 60}, {10, 60}},
         {true, true, 21, 194, 600, 700}},
    };
    for (const auto& c : cases) {
        const TBandSurvey survey = SurveyBands(Record(c.Cells));
        EXPECT_EQ(survey.Has900, c.Expected.Has900) << c.Name;
        EXPECT_EQ(survey.Has1800, c.Expected.Has1800) << c.Name;
        EXPECT_EQ(survey.Lo900, c.Expected.Lo900) << c.Name;
        EXPECT_EQ(survey.Hi900, c.Expected.Hi900) << c.Name;
        EXPECT_EQ(survey.Lo1800, c.Expected.Lo1800) << c.Name;
        EXPECT_EQ(survey.Hi1800, c.Expected.Hi1800) << c.Name;
    }
}

TEST(BarGeometryTest, ServingCellTooWeakForABar) {
    // Its strip is present through the neighbours: a bar of height 0 on the gap row.
    const TCellData inStrip = Record({{600, 120}, {700, 60}, {10, 60}});
    const TBarChartPlan plan =
        PlanBarChart(inStrip, SurveyBands(inStrip), TAxisMemory{}, {252, 153}, false);
    EXPECT_EQ(plan.Bars[0].Bar.top(), 74);
    EXPECT_EQ(plan.Bars[0].Bar.height(), 1);
    // No counted cell makes its strip present: no bar.
    const TCellData alone = Record({{600, 120}, {10, 60}});
    const TBarChartPlan lone =
        PlanBarChart(alone, SurveyBands(alone), TAxisMemory{}, {252, 153}, false);
    ASSERT_EQ(lone.Bars.size(), 1u);
    EXPECT_EQ(lone.Bars[0].Color, SameAreaBarColor);
    // The EDGE marker stays inside its strip for the strongest bar.
    EXPECT_EQ(EdgeMarkerPosition(10, 73, 73, 74), QPoint(8, 0));
    EXPECT_EQ(EdgeMarkerPosition(10, 152, 118, 153), QPoint(8, 27));
}

class BarChartTest : public ::testing::Test {
  protected:
    BarChartTest() {
        chart.AttachPaintBox(&box);
        chart.CurrentCellLabel = &current;
        chart.NeighborsLabel = &neighbors;
        chart.ShowEdgeMarkers = true;
    }
    const QImage& Draw(const TCellData& data) {
        chart.SetCellData(&data);
        chart.Redraw();
        return box.Shown;
    }

    RecordingPaintBox box{252, 153};
    RecordingLabel current;
    RecordingLabel neighbors;
    TNeighborBarChart chart;
};

TEST_F(BarChartTest, BarsSitInTheirStripWithTheirColour) {
    const QImage& image = Draw(Record({{62, 50}, {1, 75}, {124, 95, 26202}, {40, 110}}));
    EXPECT_EQ(PixelAt(image, 124, 35), ServingBarColor);
    EXPECT_EQ(PixelAt(image, 125, 152), ServingBarColor);
    EXPECT_NE(PixelAt(image, 124, 34), ServingBarColor);
    EXPECT_EQ(PixelAt(image, 123, 100), WhiteColor);
    EXPECT_EQ(PixelAt(image, 126, 100), WhiteColor);
    EXPECT_EQ(PixelAt(image, 2, 85), SameAreaBarColor);
    EXPECT_EQ(PixelAt(image, 249, 125), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 80, 150), WhiteColor);  // level 110 has no bar
    EXPECT_EQ(PixelAt(image, 2, 1), BlackColor);     // GSM900 name at (1, 1)
    EXPECT_EQ(PixelAt(image, 1, 1), WhiteColor);
    EXPECT_EQ(PixelAt(image, 240, 26), BlackColor);  // 50 label at (239, 26)
}

TEST_F(BarChartTest, TwoStripsWithTheGapBetween) {
    const QImage& image = Draw(Record({{62, 50}, {600, 50, 26202}}));
    EXPECT_EQ(PixelAt(image, 124, 94), ServingBarColor);
    EXPECT_NE(PixelAt(image, 124, 93), ServingBarColor);
    EXPECT_EQ(PixelAt(image, 126, 15), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 127, 74), OtherNetworkBarColor);  // one row into the gap
    EXPECT_EQ(PixelAt(image, 126, 75), ButtonFaceColor);
    EXPECT_EQ(PixelAt(image, 0, 74), ButtonFaceColor);
    EXPECT_EQ(PixelAt(image, 251, 78), ButtonFaceColor);
    EXPECT_NE(PixelAt(image, 251, 79), ButtonFaceColor);
    EXPECT_EQ(CountPixels(image, ButtonFaceColor), 252 * 5 - 2);
    EXPECT_EQ(PixelAt(image, 2, 80), BlackColor);  // GSM900 at (1, 80)
    EXPECT_EQ(PixelAt(image, 2, 1), BlackColor);   // GSM1800 at (1, 1)
}

TEST_F(BarChartTest, LevelImagesAndLinesLeaveTheBarBeneath) {
    // 1800 axis 512..885: channel 885 at columns 247 and 248, under LVLTOP at (239, 6).
    const QImage& image = Draw(Record({{62, 50}, {885, 36, 26202}, {512, 90, 26202}}));
    EXPECT_EQ(PixelAt(image, 247, 6), BlackColor);
    EXPECT_EQ(PixelAt(image, 247, 7), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 248, 12), BlackColor);
    EXPECT_EQ(PixelAt(image, 248, 13), OtherNetworkBarColor);
    int dots = 0;
    for (int x = 0; x < 252; ++x) {
        const QRgb onLine = PixelAt(image, x, 14);
        EXPECT_TRUE(onLine == BlackColor || onLine == WhiteColor ||
                    (x >= 247 && onLine == OtherNetworkBarColor))
            << x;
        dots += onLine == BlackColor;
    }
    EXPECT_GT(dots, 40);
    EXPECT_LT(dots, 200);
}

TEST_F(BarChartTest, EdgeMarkerCoversTheBarBeforeAndNotTheBarAfter) {
    const TCellData data =
        Record({{62, 50}, {601, 36, 26202}, {600, 50, 26202, 1, EdgeService}, {599, 36, 26202}});
    const QImage& image = Draw(data);
    // Marker at (124, 7) over the earlier 601 bar in columns 128 and 129, under the later
    // 599 bar in columns 124 and 125.
    EXPECT_EQ(PixelAt(image, 128, 7), WhiteColor);
    EXPECT_EQ(PixelAt(image, 128, 8), BlackColor);
    EXPECT_EQ(PixelAt(image, 129, 8), WhiteColor);
    EXPECT_EQ(PixelAt(image, 129, 15), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 124, 8), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 126, 15), OtherNetworkBarColor);  // the E bar's top row
    EXPECT_NE(PixelAt(image, 126, 14), OtherNetworkBarColor);  // kept free under the marker
    // A chart whose switch is off shows no marker: the earlier bar is whole.
    chart.ShowEdgeMarkers = false;
    Draw(data);
    EXPECT_EQ(PixelAt(image, 128, 8), OtherNetworkBarColor);
    EXPECT_EQ(PixelAt(image, 129, 8), OtherNetworkBarColor);
}

TEST_F(BarChartTest, EmptyRecordGivesAWhiteImageAndEmptyLabels) {
    Draw(Record({{62, 50}, {600, 60}}));
    const TCellData empty;
    const QImage& image = Draw(empty);
    EXPECT_EQ(CountPixels(image, WhiteColor), 252 * 153);
    EXPECT_EQ(current.Text, "");
    EXPECT_EQ(neighbors.Text, "");
}

TEST_F(BarChartTest, AxisOnlyWidens) {
    Draw(Record({{62, 50}, {975, 60}, {885, 60}, {512, 60}}));
    const QImage& image = Draw(Record({{62, 50}}));
    EXPECT_EQ(chart.AxisMemory().Axis900Min, 21);
    EXPECT_EQ(chart.AxisMemory().Axis1800Min, 512);
    EXPECT_EQ(chart.AxisMemory().Axis1800Max, 885);
    EXPECT_EQ(PixelAt(image, 159, 152), ServingBarColor);  // wide axis: 62 at column 159
    EXPECT_EQ(PixelAt(image, 124, 152), WhiteColor);
    EXPECT_EQ(PixelAt(image, 1, 1), BlackColor);  // EGSM900
}

TEST_F(BarChartTest, AbsurdValuesAndTinyBoxesStayDrawable) {
    const TCellData odd = Record({{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN},
                                  {62, INT32_MIN, INT32_MIN, NoValue, 255},
                                  {885, INT32_MAX, 0},
                                  {NoValue, 50}});
    const QImage& image = Draw(odd);
    EXPECT_EQ(PixelAt(image, 124, 1), SameNetworkBarColor);  // full height
    EXPECT_EQ(PixelAt(image, 124, 0), WhiteColor);
    for (int height : {0, 1, 4, 5, 6, 12}) {
        RecordingPaintBox tiny(height, height);
        TNeighborBarChart small;
        small.AttachPaintBox(&tiny);
        small.SetCellData(&odd);
        small.Redraw();
        EXPECT_EQ(tiny.Shown.size(), QSize(height, height));
    }
}

TEST_F(BarChartTest, LabelsReceiveTheCellLines) {
    TCellData data;
    data.ParseLine(
        "03;20240514102231;U;1;0;1004;4711;26210;2G;0;0;12;3;0;16;967;52;1004;4711;26210;21;0;15;"
        "G;0;16;753;91;24879;51690;26201;1;11;3;E;0;16;98;99;139;45603;26202;12;26;29;G;0;;;;;;;"
        ";;;;;16;955;96;1454;4711;26210;19;23;27;E;0;16;782;64;50050;28698;26202;30;-6;44;G;0;16;"
        "98;79;62407;18992;26201;21;33;12;E;0;16;93;105;19425;7923;26203;16;37;54;E;0;16;973;86;"
        "1766;4712;26210;20;17;4;E;0;0;0;0");
    Draw(data);
    EXPECT_EQ(current.Text, " 967  -52 DE-10  4711  1004 21     7 G");
    EXPECT_EQ(neighbors.Text, NeighborLines(data));
    EXPECT_EQ(neighbors.Text.substr(0, 40), " 753  -91 DE-01 51690 24879  1  11 3 E\r\n");
    EXPECT_EQ(box.ShowCount, 1);
}

// Unshown, the chart paints only when its image is asked for: the record as it was when the
// drawing was asked, not as it is by then; the text lines still follow every drawing at once.
TEST(BarUnshownTest, ImageAskedForLaterEqualsTheShownImage) {
    RecordingPaintBox shownBox(BarChartSize.width(), BarChartSize.height());
    UnshownPaintBox unshownBox(BarChartSize.width(), BarChartSize.height());
    RecordingLabel shownLines;
    RecordingLabel unshownLines;
    TNeighborBarChart shown;
    TNeighborBarChart unshown;
    shown.AttachPaintBox(&shownBox);
    unshown.AttachPaintBox(&unshownBox);
    shown.NeighborsLabel = &shownLines;
    unshown.NeighborsLabel = &unshownLines;
    TCellData first = Record({{62, 50}, {600, 50, 26202}});
    const TCellData second = Record({{62, 50}, {1, 75}, {124, 95, 26202}, {40, 110}});
    for (TNeighborBarChart* chart : {&shown, &unshown}) {
        chart->SetCellData(&second);
        chart->Redraw();
        chart->SetCellData(&first);
        chart->Redraw();
    }
    first = Record({{700, 40}});
    EXPECT_EQ(unshownBox.ShowCount, 0);
    EXPECT_EQ(unshownLines.Text, shownLines.Text);
    EXPECT_EQ(ChartImage(unshown), shownBox.Shown);
}

}  // namespace
