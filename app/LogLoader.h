#pragma once
// Contract for the window and norva-inspect; the loader's implementation fills this in.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "CellData.h"
#include "DirectionSlot.h"
#include "LogView.h"
#include "MonitorGraphics.h"

struct TLogState {
    bool DataLoaded = false;
    std::string LicenseText;
    std::string SignatureText;
    int32_t SoftwareVersion = 0;
    int32_t Offset = 0;
    int32_t Angle = 0;
    int32_t FirstRecordLine = -1;
};

// The document side of the main window: log state, the eight direction slots and the
// two charts, driven by the window's handlers.
class TLogLoader {
public:
    explicit TLogLoader(ILogView& view);  // the window's FormCreate part
    TLogLoader(const TLogLoader&) = delete;
    TLogLoader& operator=(const TLogLoader&) = delete;

    void LoadLogFile(const std::filesystem::path& path);
    void ResetLogState();
    void PlaceDirectionSelectors(int32_t offset, int32_t angle);

    // A selector became selected (by the user or by the loader): show that direction.
    void rbXClick(int index);
    // Select from code: runs rbXClick only when the selector was not selected before.
    void SelectDirection(int index);
    void pbPolarChartPaint();
    void pbNeighborChartPaint();

    const TLogState& State() const { return State_; }
    const TDirectionSlots& DirectionSlots() const { return Slots_; }
    int SelectedDirection() const { return Selected_; }
    TReceptionPolarChart& PolarChart() { return PolarChart_; }
    TNeighborBarChart& NeighborChart() { return NeighborChart_; }

private:
    ILogView& View_;
    TLogState State_;
    std::array<TCellData, DirectionCount> Measurements_;
    TDirectionSlots Slots_{};
    TReceptionPolarChart PolarChart_;
    TNeighborBarChart NeighborChart_;
    int Selected_ = -1;
};
