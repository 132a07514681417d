#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
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

// What a load works out from a file whose text a view keeps, before anything of it is shown:
// the text read, its header scanned, the signature judged and, for a NOT VALID log, the
// likely cause searched. It is made on any thread; TLogLoader::ShowPreparedLoad shows it. A
// step that failed keeps its error, and the showing raises it where a load meets it, after
// what the load shows before that step.
struct TPreparedLoad {
    enum class TStep { None, Read, Scan, Judge, Search };

    std::filesystem::path Path;
    TLogText Text;
    TLogState State;
    TRecordLines Records;
    std::optional<TSignatureVerdict> Verdict;
    std::optional<TLikelyCause> LikelyCause;
    TStep FailedAt = TStep::None;
    std::exception_ptr Failure;
};

// Raised by PrepareLoad when its progress callback asked it to stop.
struct ELoadStopped {};

// Told the share of the work done (0 to 1) between the steps and while the text is signed;
// returns false to stop the load.
using TLoadProgress = std::function<bool(double done)>;

TPreparedLoad PrepareLoad(const std::filesystem::path& path, const TFileBytesSink& fileBytes = {},
                          const TLoadProgress& progress = {});

// The document side of the main window: log state, the eight direction slots and the
// two charts, driven by the window's handlers.
class TLogLoader {
  public:
    explicit TLogLoader(ILogView& view);  // the window's FormCreate part
    TLogLoader(const TLogLoader&) = delete;
    TLogLoader& operator=(const TLogLoader&) = delete;

    // `fileBytes`, when given, gets every byte of the file as the load reads it (TFileBytesSink).
    void LoadLogFile(const std::filesystem::path& path, const TFileBytesSink& fileBytes = {},
                     TPathKind kind = TPathKind::Unknown);
    // The second half of a load for a view that keeps the text, after ResetLogState: shows
    // what PrepareLoad worked out, as LoadLogFile would have shown it.
    void ShowPreparedLoad(TPreparedLoad prepared);
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
    void LoadStreamed(const std::filesystem::path& path, const TFileBytesSink& fileBytes,
                      TPathKind kind);
    void ShowRecords(const TRecordLines& records);
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
