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

// How a chart of `chartSide` pixels is fitted to a thumbnail of `size`: enlarged by
// `Factor`, each pixel a square block, and then, when `Smooth`, reduced smoothly to the whole
// `size`; otherwise centred on white. A whole enlargement is kept when it fills at least
// seven eighths of the thumbnail: blocks keep the chart's one-pixel lines sharp.
struct TThumbnailFit {
    int Factor = 1;
    bool Smooth = false;
};
TThumbnailFit FitThumbnail(int chartSide, int size);

// A square image of `size` pixels: `chart` fitted as FitThumbnail says, on white, and `mark`
// in its bottom-right corner, a third of `size` wide.
QImage ThumbnailImage(const QImage& chart, int size, TVerdictMark mark);
