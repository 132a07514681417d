#pragma once
// A log's thumbnail for file managers: its polar chart, sized to what the file manager asks
// for, with a mark for its verdict that tells the verdicts apart by shape as well as by colour.

#include <QImage>

enum class TVerdictMark {
    Ok,                // green disc with a tick
    NotValid,          // red square with a cross
    NotInterpretable,  // amber triangle with an exclamation mark
    NotChecked,        // grey diamond with a bar
};

// A square image of `size` pixels: `chart` on white, and `mark` in its bottom-right corner, a
// third of `size` wide. The chart is enlarged by a whole number, each pixel a square block,
// when that fills at least seven eighths of `size` (blocks keep its one-pixel lines sharp),
// and centred; otherwise it is enlarged by the next whole number and reduced smoothly to fill
// `size`.
QImage ThumbnailImage(const QImage& chart, int size, TVerdictMark mark);
