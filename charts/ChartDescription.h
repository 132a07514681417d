#pragma once
// The charts in words, for those who hear the window instead of seeing it: what a drawing
// shows, said from the same record and the same plan the drawing is made from.

#include <QString>
#include <cstdint>

#include "charts/BarChart.h"
#include "data/DirectionSlot.h"

// A bearing as a compass reads it, 0..359 degrees, whatever the log's offset and angle.
int32_t CompassBearing(int64_t bearing);

// "Direction 3, 135°": a direction by its number and its bearing.
QString DirectionText(int index, int64_t bearing);

// For each direction with data: its bearing, the serving level and the three strongest
// neighbour levels in dBm; says so when no direction has data.
QString PolarChartDescription(const TDirectionSlots& directions, int32_t startAngle,
                              int32_t stepAngle);

// The band strips the bar chart of `data` shows and each bar's cell, channel and level, with
// what its colour tells of the cell's network; `memory` is the chart's own, already widened.
QString BarChartDescription(const TCellData& data, const TAxisMemory& memory, bool showEdgeMarkers);
