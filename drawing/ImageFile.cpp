// PNG is written through libpng itself: Qt's writer offers no choice of filter.
#include "drawing/ImageFile.h"

#include <png.h>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <bit>
#include <csetjmp>

namespace {

// Between the fastest level and the default: as fast as the fastest on these images, and
// smaller than the default with filtering.
constexpr int DeflateLevel = 3;

struct TPngOutput {
    QIODevice* Device;
    bool Failed = false;
};

void WriteData(png_structp png, png_bytep data, png_size_t length) {
    auto* output = static_cast<TPngOutput*>(png_get_io_ptr(png));
    const auto size = static_cast<qint64>(length);
    if (output->Device->write(reinterpret_cast<const char*>(data), size) != size) {
        output->Failed = true;
        png_error(png, "write failed");
    }
}

void FlushData(png_structp /*png*/) {}

// libpng must not return from its error handler: it goes back to WriteImage's setjmp.
[[noreturn]] void StopOnError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Only plain data may live in this frame: an error leaves it by longjmp, past any destructor.
bool WriteImage(png_structp png, png_infop info, const QImage& image) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
                     static_cast<png_uint_32>(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    }
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, DeflateLevel);
    png_write_info(png, info);
    // RGB32 pixels are 32-bit words 0xffRRGGBB; the file wants the bytes R, G, B.
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
    for (int y = 0; y < image.height(); ++y) {
        png_write_row(png, image.constScanLine(y));
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

QImage ReadImage(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

bool WritePng(const QImage& image, QIODevice& device) {
    if (image.isNull()) {
        return false;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, StopOnError, IgnoreWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    TPngOutput output{&device};
    bool written = false;
    if (info != nullptr) {
        png_set_write_fn(png, &output, WriteData, FlushData);
        written = WriteImage(png, info, rgb);
    }
    png_destroy_write_struct(&png, &info);
    return written && !output.Failed;
}

bool SavePng(const QImage& image, const QString& path) {
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        // A pipe or a device (/dev/stdout) takes the bytes as they come: there is no file to
        // replace.
        QFile stream(path);
        return stream.open(QIODevice::WriteOnly) && WritePng(image, stream);
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && WritePng(image, file) && file.commit();
}
