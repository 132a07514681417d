#pragma once
// The image files the program reads (its resources) and writes (a window screenshot, a chart).

#include <QIODevice>
#include <QImage>
#include <QString>

// Reads the image at `path` as `format` (as Qt names it: "BMP", "png"), without asking
// anything else: a reader left to detect the format loads every image plugin installed, to
// ask whether one of them claims it. A null image when the file is missing or unreadable.
QImage ReadImage(const QString& path, const char* format);

// Writes `image` to `device` as an 8-bit RGB PNG; an alpha channel is dropped, the images
// written here are opaque. Rows go unfiltered at a fast deflate level: window and chart images
// are mostly areas of one colour, where filtering costs two thirds of the time and makes the
// file larger, not smaller. False when the image is null or the device refuses a write.
bool WritePng(const QImage& image, QIODevice& device);

// WritePng into the file at `path`, which is replaced only once the image is whole; a pipe or
// a device there is written to as it is.
bool SavePng(const QImage& image, const QString& path);
