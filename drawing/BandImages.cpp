// The band images shared by both charts.
#include "drawing/BandImages.h"

#include <QPainter>
#include <stdexcept>
#include <string>

#include "charts/ChartColors.h"
#include "drawing/ImageFile.h"

// The band bitmaps are compiled into this static library; registering them here, in a
// function the charts call anyway, keeps the linker from dropping them from executables.
static void RegisterBandImageResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(band_images);
        return true;
    }();
    (void)registered;
}

namespace {

QImage DrawableOf(const QImage& bitmap, bool transparent) {
    if (!transparent) {
        return bitmap.convertToFormat(QImage::Format_RGB32);
    }
    QImage drawable = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < drawable.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(drawable.scanLine(y));
        for (int x = 0; x < drawable.width(); ++x) {
            if ((row[x] & RGB_MASK) == (WhiteColor & RGB_MASK)) {
                row[x] = qRgba(255, 255, 255, 0);
            }
        }
    }
    return drawable;
}

QImage ReadBandBitmap(const char* name, QSize size) {
    const QImage bitmap = ReadImage(QStringLiteral(":/bands/") + QString::fromLatin1(name), "BMP");
    if (bitmap.isNull()) {
        throw std::runtime_error(std::string("Band image resource ") + name +
                                 " is missing or unreadable");
    }
    if (bitmap.size() != size) {
        throw std::runtime_error(std::string("Band image resource ") + name +
                                 " does not have its expected size");
    }
    return bitmap;
}

TBandImageTable& BandImageTable() {
    static TBandImageTable table;
    return table;
}

}  // namespace

void LoadBandImages() {
    RegisterBandImageResources();
    TBandImageTable loaded;
    for (int i = 0; i < BandImageCount; ++i) {
        TBandImage& image = loaded[static_cast<size_t>(i)];
        image.Transparent = true;
        image.Bitmap = ReadBandBitmap(BandImageNames[static_cast<size_t>(i)],
                                      BandImageSizes[static_cast<size_t>(i)]);
    }
    // The EDGE marker must hide the bar beneath it.
    loaded[BandImageEdge].Transparent = false;
    for (TBandImage& image : loaded) {
        image.Drawable = DrawableOf(image.Bitmap, image.Transparent);
    }
    BandImageTable() = std::move(loaded);
}

bool BandImagesLoaded() {
    return !BandImageTable()[BandImageEdge].Bitmap.isNull();
}

const TBandImageTable& BandImages() {
    return BandImageTable();
}

void DrawBandImage(QPainter& painter, TBandImageIndex index, QPoint topLeft) {
    const QImage& drawable = BandImages()[static_cast<size_t>(index)].Drawable;
    if (!drawable.isNull()) {
        painter.drawImage(topLeft, drawable);
    }
}
