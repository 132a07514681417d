#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/charts/ChartTestSupport.h"

namespace {

TDirectionSlots SlotsWithLevels(std::array<int32_t, 4> levels) {
    TDirectionSlots directions{};
    for (TDirectionSlot& slot : directions) {
        slot.HasData = true;
        slot.Levels = levels;
    }
    return directions;
}

TEST(PolarGeometryTest, LevelRadius) {
    const std::pair<int32_t, int32_t> cases[] = {
        {30, 108}, {45, 81}, {50, 72}, {60, 54},     {75, 27},
        {89, 1},   {90, 0},  {91, 0},  {NoValue, 0}, {INT32_MIN, MaxPolarRadius},
    };
    for (const auto& [level, radius] : cases) {
        EXPECT_EQ(LevelRadius(level, 81), radius) << "level " << level;
    }
}

TEST(PolarGeometryTest, GridOfTheWindowsPaintBox) {
    const TPolarGrid grid = PolarGrid(163, 7);
    EXPECT_EQ(grid.Centre, 81);
    EXPECT_EQ(grid.Diagonal, 57);
    EXPECT_EQ(grid.Radius50, 72);
    EXPECT_EQ(grid.Radius75, 27);
    EXPECT_EQ(grid.Label50, QPoint(82, 1));
    EXPECT_EQ(grid.Label75, QPoint(82, 46));
}

TEST(PolarGeometryTest, Vertices) {
    auto directions = SlotsWithLevels({60, 60, 60, 60});
    directions[5].HasData = false;
    directions[5].Levels = {30, 30, 30, 30};
    const TPolarPlan plan = PlanPolarChart(directions, 163, 0, 45, 7);
    const QPoint expected[] = {{81, 27}, {119, 43}, {135, 81}, {119, 119}, {81, 135},
                               {81, 81}, {27, 81},  {43, 43},  {81, 27}};
    for (size_t s = 0; s < 4; ++s) {
        for (size_t i = 0; i < 9; ++i) {
            EXPECT_EQ(plan.Series[s][i], expected[i]) << "series " << s << " point " << i;
        }
    }
    // Turned 20 degrees clockwise; any step but 45 closes the fan through the centre.
    const TPolarPlan fan = PlanPolarChart(directions, 163, 20, 30, 7);
    EXPECT_EQ(fan.Series[0][0], QPoint(99, 30));
    EXPECT_EQ(fan.Series[0][8], QPoint(81, 81));
    EXPECT_EQ(DirectionBearing(INT32_MAX, INT32_MAX, 7), int64_t{INT32_MAX} * 8);
}

class PolarChartTest : public ::testing::Test {
  protected:
    QImage Draw(const TDirectionSlots& directions, int32_t start = 20, int32_t step = 45) {
        chart.AttachPaintBox(&box);
        chart.StartAngle = start;
        chart.StepAngle = step;
        chart.SetSlots(directions);
        chart.Redraw();
        return box.Shown;
    }
    static QPoint At(int64_t bearing, int32_t radius) { return PolarPoint(81, bearing, radius); }

    RecordingPaintBox box{163, 163};
    TReceptionPolarChart chart;
};

// Levels 55, 65, 72 and 85 give radii 63, 45, 32 and 9.
const std::array<int32_t, 4> SampleLevels{55, 65, 72, 85};

TEST_F(PolarChartTest, EachSeriesHasItsColourAtItsVertex) {
    const QImage image = Draw(SlotsWithLevels(SampleLevels));
    // Direction 0 at bearing 20.
    const QPoint vertices[] = {{103, 22}, {96, 39}, {92, 51}, {84, 73}};
    for (size_t s = 0; s < 4; ++s) {
        EXPECT_EQ(PixelAt(image, vertices[s].x(), vertices[s].y()), PolarColors[s]) << s;
    }
    EXPECT_EQ(PixelAt(image, 103, 21), WhiteColor);
    // The top edges of the neighbour polygons: only their outline pen reaches these pixels,
    // the fill leaves them to the polygon beneath.
    EXPECT_EQ(PixelAt(image, 70, 39), PolarColors[1]);
    EXPECT_EQ(PixelAt(image, 70, 51), PolarColors[2]);
    EXPECT_EQ(box.ShowCount, 1);
    // A serving cell weaker than its neighbours keeps its outline on top of them.
    const QImage weakServing = Draw(SlotsWithLevels({75, 55, 90, 90}));
    const QPoint servingVertex = At(20, 27);
    const QPoint neighbourArea = At(20, 40);
    EXPECT_EQ(PixelAt(weakServing, servingVertex.x(), servingVertex.y()), PolarColors[0]);
    EXPECT_EQ(PixelAt(weakServing, neighbourArea.x(), neighbourArea.y()), PolarColors[1]);
}

TEST_F(PolarChartTest, DirectionWithoutDataCollapsesToTheCentre) {
    auto directions = SlotsWithLevels(SampleLevels);
    const QPoint probe = At(110, 20);  // direction 2
    EXPECT_EQ(PixelAt(Draw(directions), probe.x(), probe.y()), PolarColors[2]);
    directions[2].HasData = false;
    directions[2].Levels = {30, 30, 30, 30};
    EXPECT_EQ(PixelAt(Draw(directions), probe.x(), probe.y()), WhiteColor);
}

TEST_F(PolarChartTest, StepOf30DrawsAFan) {
    const auto directions = SlotsWithLevels(SampleLevels);
    for (int bearing : {240, 300, 330}) {
        const QPoint probe = At(bearing, 20);
        EXPECT_EQ(PixelAt(Draw(directions, 0, 45), probe.x(), probe.y()), PolarColors[2]);
        EXPECT_EQ(PixelAt(Draw(directions, 0, 30), probe.x(), probe.y()), WhiteColor) << bearing;
    }
    const QPoint inside = At(105, 20);
    EXPECT_EQ(PixelAt(Draw(directions, 0, 30), inside.x(), inside.y()), PolarColors[2]);
    // A step of 90 runs round twice: the even-odd rule leaves the doubly covered part empty.
    const QPoint twice = At(120, 20);
    EXPECT_EQ(PixelAt(Draw(directions, 0, 90), twice.x(), twice.y()), WhiteColor);
    const QPoint once = At(300, 5);
    EXPECT_EQ(PixelAt(Draw(directions, 0, 90), once.x(), once.y()), PolarColors[3]);
}

TEST_F(PolarChartTest, GridLiesOverThePolygonsAndLinesStopBeforeTheirEnd) {
    // Level 30 reaches beyond the image: series 0 covers everything but the corners.
    const QImage image = Draw(SlotsWithLevels({30, 90, 90, 90}), 0);
    for (QPoint p : {QPoint(81, 0), QPoint(81, 162), QPoint(0, 81), QPoint(162, 81), QPoint(24, 24),
                     QPoint(137, 137), QPoint(138, 24), QPoint(25, 137)}) {
        EXPECT_EQ(PixelAt(image, p.x(), p.y()), BlackColor) << p.x() << "," << p.y();
    }
    EXPECT_EQ(PixelAt(image, 138, 138), PolarColors[0]);
    EXPECT_EQ(PixelAt(image, 24, 138), PolarColors[0]);
    // Level images: black pixels drawn, white ones leave the polygon.
    EXPECT_EQ(PixelAt(image, 83, 1), BlackColor);
    EXPECT_EQ(PixelAt(image, 82, 1), PolarColors[0]);
    EXPECT_EQ(PixelAt(image, 83, 46), BlackColor);
    EXPECT_EQ(PixelAt(image, 88, 46), PolarColors[0]);
    // The dotted circles: dots and untouched gaps, nothing else.
    for (int radius : {72, 27}) {
        int dots = 0;
        int gaps = 0;
        for (int x = 77; x <= 85; ++x) {  // the flat bottom of the circle, axis left out
            const QRgb pixel = PixelAt(image, x, 81 + radius);
            if (x != 81) {
                EXPECT_TRUE(pixel == BlackColor || pixel == PolarColors[0]) << x;
                dots += pixel == BlackColor;
                gaps += pixel == PolarColors[0];
            }
        }
        EXPECT_GE(dots, 2) << radius;
        EXPECT_GE(gaps, 2) << radius;
    }
}

TEST_F(PolarChartTest, WithoutDataOnlyTheGridShows) {
    TDirectionSlots directions = SlotsWithLevels(SampleLevels);
    for (TDirectionSlot& slot : directions) {
        slot.HasData = false;
    }
    const QImage image = Draw(directions);
    QImage expected(163, 163, QImage::Format_RGB32);
    expected.fill(WhiteColor);
    for (int i = 0; i < 163; ++i) {
        expected.setPixel(81, i, BlackColor);
        expected.setPixel(i, 81, BlackColor);
    }
    for (int i = 24; i <= 137; ++i) {
        expected.setPixel(i, i, BlackColor);
        expected.setPixel(162 - i, i, BlackColor);
    }
    for (int radius : {72, 27}) {
        for (QPoint dot : DottedCirclePoints({81, 81}, radius)) {
            expected.setPixel(dot, BlackColor);
        }
    }
    const QImage& top = BandImages()[BandImageLevelTop].Bitmap;
    const QImage& mid = BandImages()[BandImageLevelMid].Bitmap;
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) {
            if (PixelAt(top, x, y) == BlackColor) {
                expected.setPixel(82 + x, 1 + y, BlackColor);
            }
            if (PixelAt(mid, x, y) == BlackColor) {
                expected.setPixel(82 + x, 46 + y, BlackColor);
            }
        }
    }
    for (int y = 0; y < 163; ++y) {
        for (int x = 0; x < 163; ++x) {
            ASSERT_EQ(PixelAt(image, x, y), PixelAt(expected, x, y)) << x << "," << y;
        }
    }
}

TEST(PolarGeometryTest, DottedCircleStaysOnItsRadius) {
    for (int radius : {1, 2, 27, 72}) {
        const auto dots = DottedCirclePoints({81, 81}, radius);
        QRect extent;
        for (QPoint dot : dots) {
            EXPECT_NEAR(std::hypot(dot.x() - 81, dot.y() - 81), radius, 0.5) << radius;
            extent |= QRect(dot, dot);
        }
        EXPECT_EQ(extent,
                  QRect(QPoint(81 - radius, 81 - radius), QPoint(81 + radius, 81 + radius)));
        // Dots and gaps alternate on the flat top of the circle.
        const auto on = [&](int x) {
            return std::count(dots.begin(), dots.end(), QPoint(x, 81 - radius)) == 1;
        };
        EXPECT_TRUE(on(81));
        if (radius > 2) {
            EXPECT_FALSE(on(80));
            EXPECT_FALSE(on(82));
            EXPECT_TRUE(on(79));
        }
    }
}

TEST_F(PolarChartTest, AbsurdLevelsAndAnglesStayDrawable) {
    // Radii far beyond the image: series 1 covers everything off the grid.
    const auto strongest = SlotsWithLevels({INT32_MIN, INT32_MIN, 90, 90});
    const QImage image = Draw(strongest, 0, 45);
    EXPECT_EQ(PixelAt(image, 10, 150), PolarColors[1]);
    EXPECT_EQ(PixelAt(image, 150, 10), PolarColors[1]);
    EXPECT_EQ(PixelAt(Draw(strongest, INT32_MAX, INT32_MAX), 81, 0), BlackColor);
    for (int size : {0, 1, 2, 5}) {
        RecordingPaintBox tiny(size, size);
        TReceptionPolarChart small;
        small.AttachPaintBox(&tiny);
        small.SetSlots(SlotsWithLevels({30, 40, 50, 60}));
        small.Redraw();
        small.ClearChart();
        EXPECT_EQ(tiny.Shown.size(), QSize(size, size));
    }
}

TEST_F(PolarChartTest, ClearChartWhitensTheSquare) {
    Draw(SlotsWithLevels(SampleLevels));
    chart.ClearChart();
    EXPECT_EQ(CountPixels(box.Shown, WhiteColor), 163 * 163);
    EXPECT_EQ(box.ShowCount, 2);
}

// Unshown, the chart paints only when its image is asked for, and then gives what the shown
// chart showed: each drawing with the slots and angles it was asked with, and under the square
// of a tall box, cleared square by square, the remains of earlier drawings.
TEST(PolarUnshownTest, ImageAskedForLaterEqualsTheShownImage) {
    for (const QSize size : {PolarChartSize, QSize(163, 240)}) {
        RecordingPaintBox shownBox(size.width(), size.height());
        UnshownPaintBox unshownBox(size.width(), size.height());
        TReceptionPolarChart shown;
        TReceptionPolarChart unshown;
        shown.AttachPaintBox(&shownBox);
        unshown.AttachPaintBox(&unshownBox);
        for (TReceptionPolarChart* chart : {&shown, &unshown}) {
            chart->StartAngle = 20;
            chart->SetSlots(SlotsWithLevels({0, 30, 50, 70}));  // beyond the square
            chart->Redraw();
            chart->ClearChart();
            chart->SetSlots(SlotsWithLevels(SampleLevels));
            chart->Redraw();
            chart->StartAngle = 0;
            chart->SetSlots(SlotsWithLevels({60, 60, 60, 60}));
        }
        EXPECT_EQ(unshownBox.ShowCount, 0);
        EXPECT_EQ(ChartImage(unshown), shownBox.Shown) << size.height();
        EXPECT_EQ(ChartImage(unshown), ChartImage(shown)) << size.height();
        if (size.height() > size.width()) {
            // Clearing the square keeps what the first drawing put below it.
            const QImage below = ChartImage(unshown).copy(0, size.width(), size.width(),
                                                          size.height() - size.width());
            EXPECT_LT(CountPixels(below, WhiteColor), below.width() * below.height());
        }
    }
}

}  // namespace
