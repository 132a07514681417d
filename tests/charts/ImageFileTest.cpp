#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <random>

#include "drawing/ImageFile.h"

namespace {

QImage Noise(int width, int height, QImage::Format format) {
    QImage image(width, height, format);
    std::mt19937 random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, random());
        }
    }
    return image;
}

// Every channel in its place, at widths that end rows mid-word, and an alpha channel dropped.
TEST(ImageFileTest, WrittenPixelsReadBackUnchanged) {
    const QImage images[] = {Noise(37, 5, QImage::Format_RGB32), Noise(1, 1, QImage::Format_RGB32),
                             Noise(3, 64, QImage::Format_ARGB32),
                             Noise(9, 2, QImage::Format_RGB888)};
    for (const QImage& image : images) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(WritePng(image, buffer)) << image.width() << " x " << image.height();
        const QImage read = QImage::fromData(buffer.data(), "PNG");
        EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32),
                  image.convertToFormat(QImage::Format_RGB32))
            << image.width() << " x " << image.height();
    }
}

// A device that takes `room` bytes and refuses the rest, like a full disk.
class TFullDevice : public QIODevice {
  public:
    explicit TFullDevice(qint64 room) : Room_(room) { open(QIODevice::WriteOnly); }

  protected:
    qint64 readData(char* /*data*/, qint64 /*size*/) override { return -1; }
    qint64 writeData(const char* /*data*/, qint64 size) override {
        if (size > Room_) {
            return -1;
        }
        Room_ -= size;
        return size;
    }

  private:
    qint64 Room_;
};

// A write that fails in the signature, the header or the pixel data is reported, and leaves
// nothing behind (the suite also runs under the leak checker).
TEST(ImageFileTest, RefusedWriteIsReportedAtEveryStage) {
    const QImage image = Noise(200, 100, QImage::Format_RGB32);
    for (const qint64 room : {0, 8, 40, 5000}) {
        TFullDevice device(room);
        EXPECT_FALSE(WritePng(image, device)) << "room " << room;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WritePng(QImage(), buffer));
}

}  // namespace
