#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/LikelyCause.h"
#include "app/LogFile.h"
#include "app/LogState.h"
#include "app/LogView.h"
#include "app/SignatureVerdict.h"
#include "charts/MonitorGraphics.h"
#include "data/CellData.h"
#include "data/DirectionSlot.h"

// The document side of the main window: log state, the eight direction slots and the
// two charts, driven by the window's handlers.
class TLogLoader {
  public:
    explicit TLogLoader(ILogView& view);  // the window's FormCreate part
    TLogLoader(const TLogLoader&) = delete;
    TLogLoader& operator=(const TLogLoader&) = delete;

    // `fileBytes`, when given, gets every byte of the file as the load reads it (TFileBytesSink).
    void LoadLogFile(const std::filesystem::path& path, const TFileBytesSink& fileBytes = {});
    void ResetLogState();
    // Whether a load parses, shows and charts the records (the default). A caller that uses
    // nothing but the verdict and the header values turns it off: the slots then stay empty
    // and DataLoaded false.
    void SetParseRecords(bool parse) { ParseRecords_ = parse; }
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
    // The bearing in degrees at which the selector of direction `index` was last placed.
    int32_t SelectorBearing(int index) const { return SelectorBearings_.at(index); }
    // The verdict shown for the current file; empty when none was computed for it.
    std::optional<TSignatureVerdict> Verdict() const { return Verdict_; }
    // For a NOT VALID file, what the search for a harmless change found; empty otherwise.
    const std::optional<TLikelyCause>& LikelyCause() const { return LikelyCause_; }
    // Whether the last load found no line at all: an empty file, or one that begins with a NUL.
    bool TextEmpty() const { return TextEmpty_; }
    TReceptionPolarChart& PolarChart() { return PolarChart_; }
    TNeighborBarChart& NeighborChart() { return NeighborChart_; }

  private:
    TSignatureVerdict JudgeReadingAgain(TLogTextRuns& runs, const TRecordLines& records,
                                        const std::filesystem::path& path) const;
    TLikelyCause FindLikelyCauseReadingAgain(TLogTextRuns& runs,
                                             const std::filesystem::path& path) const;
    void FillDirectionSlots(const TRecordLines& records);
    void SelectFirstDirectionWithData();

    ILogView& View_;
    TLogState State_;
    std::array<TCellData, DirectionCount> Measurements_;
    TDirectionSlots Slots_{};
    TReceptionPolarChart PolarChart_;
    TNeighborBarChart NeighborChart_;
    std::array<int32_t, DirectionCount> SelectorBearings_{};
    int Selected_ = -1;
    std::optional<TSignatureVerdict> Verdict_;
    std::optional<TLikelyCause> LikelyCause_;
    bool TextEmpty_ = true;
    bool ParseRecords_ = true;
};
