#pragma once

#include <QImage>

#include "charts/ChartCanvas.h"

// The chart's image as it stands: its drawings painted over white, at the size of its paint
// box; a null image while the chart has no size. Loads the band images on first use, so a
// program that draws from several threads loads them (LoadBandImages) before they start.
QImage ChartImage(const TChartCanvas& chart);
