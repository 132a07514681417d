#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/LikelyCause.h"
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
    std::string File;            // Path as a person reads it (DisplayPathText)
    std::optional<std::string> Error;
    // What lay behind Error in the system's words ("Permission denied."), when known.
    std::optional<std::string> ErrorReason;
    bool Empty = false;  // the file held no line at all
    // 64 lower-case hex digits of the SHA-256 of exactly the bytes the load read; empty unless
    // asked for (TCheckOptions::Sha256) and the load succeeded.
    std::string Sha256;
    TLogState State;  // LicenseText and SignatureText already decoded to UTF-8
    std::optional<TSignatureVerdict> Verdict;
    // Only for a NOT VALID verdict: the harmless change that explains it, if one does.
    std::optional<TLikelyCause> LikelyCause;
    std::optional<int> Selected;
    std::array<TDirectionReport, DirectionCount> Directions;
    std::optional<std::uintmax_t> Size;  // bytes, when the file could be looked at
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
// What a person reads for the outcome: the verdict text, "Not checked: " and why
// (WhyNotCheckedText), or "Failed to load: " and the error, with its reason when known.
std::string OutcomeText(const TFileReport& report);
// Why there is no verdict: WhyNotCheckedText for a log not checked, the ErrorReason of a load
// that failed; nothing when there is a verdict (or a failure without a known reason).
std::optional<std::string> OutcomeReason(const TFileReport& report);

// The exit statuses of norva-inspect; the highest that applies to any file wins.
enum class TExitStatus : int {
    Ok = 0,
    NotValid = 1,
    NotJudged = 2,  // not interpretable, or not checked at all
    LoadError = 3,
    UsageError = 64,
    Interrupted = 130,  // as a shell reports a program ended by Ctrl+C
};

// What one outcome contributes to the exit status (never UsageError or Interrupted).
TExitStatus ExitStatusOf(TCheckOutcome outcome);
TExitStatus ExitStatusOf(const TFileReport& report);

// "same content as NAME": how every place marks a file whose bytes an earlier one has.
std::string SameContentText(const std::string& firstName);

// Whether a known harmless change explains a NOT VALID verdict; the verdict stays NOT VALID.
bool HasHarmlessCause(const TFileReport& report);
// OutcomeText, and after a dash the harmless change when one explains a NOT VALID verdict:
// "The signature is NOT VALID — saved as UTF-8".
std::string OutcomeTextWithCause(const TFileReport& report);

// The time of the log's first record with data, if any.
std::optional<TDateTime> FirstRecordTime(const TFileReport& report);

// The path as UTF-8 text; bytes that are not UTF-8 become U+FFFD. For machine-read output
// (JSON, CSV), where a guessed decoding would pass for the real name.
std::string PathUtf8(const std::filesystem::path& path);

// The SHA-256 (64 lower-case hex digits) of a file's bytes as a load reads them, for a caller
// that loaded the file without taking it; empty when the file cannot be read or is not a
// regular file (a pipe gives its bytes only once).
std::string FileSha256(const std::filesystem::path& path);

struct TCheckOptions {
    bool Sha256 = false;  // take the digest of the bytes read (TFileReport::Sha256)
};

using TInspectLoad = std::function<void(TLogLoader&, THeadlessView&, const TFileReport&)>;

// Loads one file with a loader and a view of its own, so that no file's result depends on
// another's and files can load on several threads at once. "-" reads standard input. Never
// throws: whatever goes wrong becomes the file's error. `inspect`, when given, runs after
// the load (also after a failed one) with the loader and its view, e.g. to take the charts.
TFileReport CheckLogFile(const TBatchInput& input, const TCheckOptions& options,
                         const TInspectLoad& inspect = {});
TFileReport CheckLogFile(const TBatchInput& input, const TInspectLoad& inspect = {});

// The closing count of a batch:
// "5 files: 2 OK, 1 NOT VALID, 1 could not be interpreted, 0 not checked, 1 error".
struct TBatchCounts {
    void Add(const TFileReport& report);
    void Add(TCheckOutcome outcome);
    std::string Text() const;
    // The highest exit status of the outcomes counted.
    TExitStatus ExitStatus() const;

    size_t Files = 0;
    size_t Ok = 0;
    size_t NotValid = 0;
    size_t NotInterpretable = 0;
    size_t NotChecked = 0;
    size_t Errors = 0;
};
