#pragma once
// Contract used by the loader; the charts' implementation fills this in.

#include <QImage>
#include <cstdint>

#include "CellData.h"
#include "DirectionSlot.h"
#include "PaintTargets.h"

int32_t ChannelPosition(int32_t channel);

class TReceptionPolarChart {
public:
    TReceptionPolarChart();

    void AttachPaintBox(TPaintBox* paintBox);
    void FitToPaintBox();
    void SetSlots(const TDirectionSlots& slots);
    void ClearChart();
    void Redraw();
    const QImage& Image() const { return Image_; }

    int32_t StepAngle = 45;
    int32_t StartAngle = 0;

private:
    QImage Image_;
    TPaintBox* PaintBox = nullptr;
    TDirectionSlots Slots{};
};

class TNeighborBarChart {
public:
    TNeighborBarChart();

    void AttachPaintBox(TPaintBox* paintBox);
    void FitToPaintBox();
    void SetCellData(const TCellData* measurement);
    void Redraw();
    const QImage& Image() const { return Image_; }

    TTextLabel* CurrentCellLabel = nullptr;
    TTextLabel* NeighborsLabel = nullptr;
    bool ShowEdgeMarkers = false;

private:
    QImage Image_;
    TPaintBox* PaintBox = nullptr;
    const TCellData* Measurement = nullptr;
    int32_t Axis900Min = 71;
    int32_t Axis900Max = 194;
    int32_t Axis1800Min = 885;
    int32_t Axis1800Max = 512;
};
