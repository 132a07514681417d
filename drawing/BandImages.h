#pragma once
// The band images: the nine small bitmaps the charts draw as labels and markers, compiled into
// the program as resources.

#include <QImage>
#include <QPoint>
#include <array>

#include "charts/Bands.h"

class QPainter;

struct TBandImage {
    QImage Bitmap;            // as stored in the resource
    bool Transparent = true;  // white pixels are not drawn
    QImage Drawable;          // Bitmap ready for drawing, with its transparency applied
};

using TBandImageTable = std::array<TBandImage, BandImageCount>;

// Loads the nine images from the program's resources, replacing any loaded before.
// Throws std::runtime_error naming the resource when one is missing, unreadable or not of
// its size in BandImageSizes; the table is then left as it was.
void LoadBandImages();
bool BandImagesLoaded();
// The shared table; empty images until LoadBandImages has succeeded.
const TBandImageTable& BandImages();

// Draws band image `index` with its top-left pixel at `topLeft`, honouring its transparency.
void DrawBandImage(QPainter& painter, TBandImageIndex index, QPoint topLeft);
