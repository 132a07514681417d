#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/LogState.h"
#include "app/SignatureVerdict.h"
#include "batch/BatchInputs.h"
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
    std::filesystem::path Path;  // as given, bytes as the file system has them
    std::string File;            // Path as UTF-8 text (bytes that are not UTF-8 replaced)
    std::optional<std::string> Error;
    TLogState State;  // LicenseText and SignatureText already decoded to UTF-8
    std::optional<TSignatureVerdict> Verdict;
    std::optional<int> Selected;
    std::array<TDirectionReport, DirectionCount> Directions;
    std::optional<std::uintmax_t> Size;  // bytes, when the file could be looked at
    std::string Sha256;  // of the bytes read, 64 lower-case hex digits; empty when not asked
};

TFileReport MakeFileReport(const std::filesystem::path& path,
                           const std::optional<std::string>& error, const TLogLoader& loader,
                           const THeadlessView& view);

// The five outcomes a batch counts, in the order the counts are told.
enum class TCheckOutcome { Ok, NotValid, NotInterpretable, NotChecked, Error };
TCheckOutcome OutcomeOf(const TFileReport& report);
// "OK", "NOT VALID", "not interpretable", "not checked", "failed to load".
const char* OutcomeName(TCheckOutcome outcome);
// The colour a list or a report marks an outcome with: the verdict colours of the text box,
// light grey for a log not checked, orange for a load that failed.
TRgb OutcomeColor(TCheckOutcome outcome);
// What a person reads for the outcome: the verdict text, or why there is none.
std::string OutcomeText(const TFileReport& report);

// The time of the log's first record with data, if any.
std::optional<TDateTime> FirstRecordTime(const TFileReport& report);

// The path as UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::string PathUtf8(const std::filesystem::path& path);

// Loads one file with a loader and a view of its own, so that no file's result depends on
// another's and files can load on several threads at once. "-" reads standard input. Never
// throws: whatever goes wrong becomes the file's error. `inspect`, when given, runs after
// the load (also after a failed one) with the loader and its view, e.g. to take the charts.
TFileReport CheckLogFile(
    const TBatchInput& input,
    const std::function<void(TLogLoader&, THeadlessView&, const TFileReport&)>& inspect = {});

// The closing count of a batch:
// "5 files: 2 OK, 1 NOT VALID, 1 could not be interpreted, 0 not checked, 1 error".
struct TBatchCounts {
    void Add(const TFileReport& report);
    void Add(TCheckOutcome outcome);
    std::string Text() const;

    size_t Files = 0;
    size_t Ok = 0;
    size_t NotValid = 0;
    size_t NotInterpretable = 0;
    size_t NotChecked = 0;
    size_t Errors = 0;
};
