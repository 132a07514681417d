#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/LogState.h"
#include "app/SignatureVerdict.h"
#include "data/DirectionSlot.h"
#include "data/Logger.h"

class TLogLoader;
class THeadlessView;

// What one load left in one direction. Texts are UTF-8.
struct TDirectionReport {
    int Index = 0;
    bool HasData = false;
    std::array<int32_t, 4> Levels{};
    TDateTime Time = 0;
    std::optional<std::pair<int, int>> Selector;
    std::string CurrentCell;
    std::vector<std::string> Neighbors;
};

// What one load of one file left behind. Texts are UTF-8.
struct TFileReport {
    std::string File;
    std::optional<std::string> Error;
    TLogState State;  // LicenseText and SignatureText already decoded to UTF-8
    std::optional<TSignatureVerdict> Verdict;
    std::optional<int> Selected;
    std::array<TDirectionReport, DirectionCount> Directions;
};

TFileReport MakeFileReport(const std::string& file, const std::optional<std::string>& error,
                           const TLogLoader& loader, const THeadlessView& view);

// The exit statuses of norva-inspect; the highest that applies to any file wins.
enum class TExitStatus : int {
    Ok = 0,
    NotValid = 1,
    NotJudged = 2,  // not interpretable, or not checked at all
    LoadError = 3,
    UsageError = 64,
};

// What one file contributes to the exit status (never UsageError).
TExitStatus ExitStatusOf(const TFileReport& report);

// One file's JSON document, without a line end after its closing brace.
void WriteFileJson(std::ostream& out, const TFileReport& report);
// "PATH: verdict" (or why there is none) and a line end.
void WriteBatchLine(std::ostream& out, const TFileReport& report);

// The closing count of a batch:
// "5 files: 2 OK, 1 NOT VALID, 1 could not be interpreted, 0 not checked, 1 error".
struct TBatchCounts {
    void Add(const TFileReport& report);
    std::string Text() const;

    size_t Files = 0;
    size_t Ok = 0;
    size_t NotValid = 0;
    size_t NotInterpretable = 0;
    size_t NotChecked = 0;
    size_t Errors = 0;
};
void WriteSummary(std::ostream& out, const TFileReport& report);
