#include <gtest/gtest.h>

#include <QFile>
#include <QPainter>
#include <stdexcept>

#include "tests/charts/ChartTestSupport.h"
#include "tests/support/VectorFile.h"

namespace {

TEST(ChannelPositionTest, BandBoundaries) {
    const std::pair<int32_t, int32_t> cases[] = {
        {0, 70},   {124, 194}, {125, 0},     {511, 0},       {512, 512}, {885, 885},
        {886, 0},  {954, 0},   {955, 1},     {974, 20},      {975, 21},  {1023, 69},
        {1024, 0}, {-1, 0},    {NoValue, 0}, {INT32_MIN, 0}, {62, 132},
    };
    for (const auto& [channel, position] : cases) {
        EXPECT_EQ(ChannelPosition(channel), position) << "channel " << channel;
    }
}

struct Picture {
    std::string Name;
    int Width = 0;
    int Height = 0;
    int Bits = 0;
    std::vector<std::string> Rows;
};

// A row of four cells starts a picture; each row of one cell is a pixel row of it.
std::vector<Picture> ReadPictures() {
    std::vector<Picture> pictures;
    for (const testsupport::VectorRow& row :
         testsupport::ReadVectorTable(NORVA_TEST_DATA, "band-images.txt")) {
        if (row.Cells.size() == 4) {
            pictures.push_back({row.At(0), row.IntAt(1), row.IntAt(2), row.IntAt(3), {}});
        } else if (row.Cells.size() == 1 && !pictures.empty()) {
            pictures.back().Rows.push_back(row.At(0));
        } else {
            throw std::runtime_error(row.Where + ": neither a picture nor a pixel row");
        }
    }
    return pictures;
}

// The bit depth a BMP file declares in its info header.
int StoredBitsPerPixel(const char* name) {
    QFile file(QStringLiteral(":/bands/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    const QByteArray bytes = file.readAll();
    return bytes.size() > 29 ? (uint8_t(bytes[28]) | uint8_t(bytes[29]) << 8) : -1;
}

TEST(BandImagesTest, ResourcesHoldThePicturesPixelForPixel) {
    LoadBandImages();
    const auto pictures = ReadPictures();
    ASSERT_EQ(pictures.size(), size_t{BandImageCount});
    for (size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        ASSERT_EQ(p.Name, BandImageNames[i]);
        const QImage& bitmap = BandImages()[i].Bitmap;
        ASSERT_EQ(bitmap.size(), QSize(p.Width, p.Height)) << p.Name;
        EXPECT_EQ(StoredBitsPerPixel(p.Name.c_str()), p.Bits) << p.Name;
        EXPECT_EQ(bitmap.colorCount(), 1 << p.Bits) << p.Name;
        ASSERT_EQ(p.Rows.size(), size_t(p.Height)) << p.Name;
        for (int y = 0; y < p.Height; ++y) {
            ASSERT_EQ(p.Rows[y].size(), size_t(p.Width)) << p.Name << " row " << y;
            for (int x = 0; x < p.Width; ++x) {
                const QRgb expected = p.Rows[y][x] == '#' ? BlackColor : WhiteColor;
                ASSERT_EQ(PixelAt(bitmap, x, y), expected) << p.Name << " at " << x << "," << y;
            }
        }
    }
}

TEST(BandImagesTest, OnlyEdgeIsOpaque) {
    LoadBandImages();
    for (size_t i = 0; i < BandImageCount; ++i) {
        EXPECT_EQ(BandImages()[i].Transparent, i != BandImageEdge) << BandImageNames[i];
    }
}

TEST(BandImagesTest, TransparentImagesChangeOnlyTheirBlackPixels) {
    LoadBandImages();
    QImage target(20, 10, QImage::Format_RGB32);
    target.fill(ServingBarColor);
    {
        QPainter painter(&target);
        DrawBandImage(painter, BandImageLevelTop, QPoint(1, 1));
        DrawBandImage(painter, BandImageEdge, QPoint(14, 2));
    }
    const QImage& top = BandImages()[BandImageLevelTop].Bitmap;
    for (int y = 0; y < top.height(); ++y) {
        for (int x = 0; x < top.width(); ++x) {
            const QRgb expected = PixelAt(top, x, y) == BlackColor ? BlackColor : ServingBarColor;
            ASSERT_EQ(PixelAt(target, x + 1, y + 1), expected) << x << "," << y;
        }
    }
    // The EDGE marker replaces the whole 6 x 7 box: white where its picture is white.
    EXPECT_EQ(PixelAt(target, 14, 2), WhiteColor);
    EXPECT_EQ(PixelAt(target, 15, 3), BlackColor);
    EXPECT_EQ(PixelAt(target, 19, 8), WhiteColor);
    EXPECT_EQ(PixelAt(target, 13, 2), ServingBarColor);
    EXPECT_EQ(PixelAt(target, 14, 9), ServingBarColor);
}

TEST(BandImagesTest, ASecondChartImageDoesNotLoadThemAgain) {
    TReceptionPolarChart polar;
    TNeighborBarChart bars;
    UnshownPaintBox polarBox(PolarChartSize.width(), PolarChartSize.height());
    UnshownPaintBox barsBox(BarChartSize.width(), BarChartSize.height());
    polar.AttachPaintBox(&polarBox);
    bars.AttachPaintBox(&barsBox);
    polar.Redraw();
    bars.Redraw();
    ChartImage(polar);
    ASSERT_TRUE(BandImagesLoaded());
    std::vector<qint64> keys;
    for (const TBandImage& image : BandImages()) {
        keys.push_back(image.Bitmap.cacheKey());
    }
    ChartImage(bars);
    ChartImage(polar);
    for (size_t i = 0; i < BandImageCount; ++i) {
        EXPECT_EQ(BandImages()[i].Bitmap.cacheKey(), keys[i]) << BandImageNames[i];
    }
}

}  // namespace
