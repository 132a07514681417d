#pragma once
// The charts unit: the band rule and band images, the reception polar chart and the neighbour
// bar chart.

#include "charts/Bands.h"
#include "charts/BarChart.h"
#include "charts/ChartColors.h"
#include "charts/PolarChart.h"
