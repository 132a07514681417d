#include "batch/LogCheck.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <exception>
#include <system_error>

#include "app/CellCsv.h"
#include "app/Cp1252.h"
#include "app/Errors.h"
#include "app/LogLoader.h"
#include "app/Outcome.h"
#include "app/PathText.h"
#include "batch/HeadlessView.h"
#include "charts/CellTextLines.h"
#include "crypto/Sha256.h"

namespace {

std::vector<std::string> SplitAtLineBreaks(const std::string& text) {
    std::vector<std::string> lines;
    if (text.empty()) {
        return lines;
    }
    size_t start = 0;
    while (true) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

TDirectionReport MakeDirectionReport(const TDirectionSlot& slot, int index,
                                     const THeadlessView& view, bool cellLines) {
    TDirectionReport report;
    report.Index = index;
    report.HasData = slot.HasData;
    report.Levels = slot.Levels;
    report.Time = slot.Measurement->Timestamp;
    report.Selector = view.Placements[index];
    if (cellLines) {
        report.CurrentCell = Cp1252ToUtf8(ServingCellLine(*slot.Measurement));
        report.Neighbors = SplitAtLineBreaks(Cp1252ToUtf8(NeighborLines(*slot.Measurement)));
    }
    return report;
}

// Standard input is read through its file descriptor's name, so that the loader sees a pipe
// or a redirected file as it would any other.
const std::filesystem::path StandardInputPath("/dev/stdin");

}  // namespace

std::string PathUtf8(const std::filesystem::path& path) {
    return QString::fromLocal8Bit(QByteArray::fromStdString(path.native())).toUtf8().toStdString();
}

TFileReport MakeFileReport(const std::filesystem::path& path,
                           const std::optional<std::string>& error, const TLogLoader& loader,
                           const THeadlessView& view, bool cellLines) {
    TFileReport report;
    report.Path = path;
    report.File = DisplayPathText(path).toStdString();
    report.Error = error;
    report.Empty = loader.TextEmpty();
    report.State = loader.State();
    report.State.LicenseText = Cp1252ToUtf8(report.State.LicenseText);
    report.State.SignatureText = Cp1252ToUtf8(report.State.SignatureText);
    report.Verdict = loader.Verdict();
    report.LikelyCause = loader.LikelyCause();
    if (loader.SelectedDirection() >= 0) {
        report.Selected = loader.SelectedDirection();
    }
    for (int d = 0; d < DirectionCount; ++d) {
        report.Directions[d] = MakeDirectionReport(loader.DirectionSlots()[d], d, view, cellLines);
    }
    return report;
}

TCheckOutcome OutcomeOf(const TFileReport& report) {
    if (report.Error) {
        return TCheckOutcome::Error;
    }
    if (!report.Verdict) {
        return TCheckOutcome::NotChecked;
    }
    switch (*report.Verdict) {
        case TSignatureVerdict::Valid:
            return TCheckOutcome::Ok;
        case TSignatureVerdict::NotValid:
            return TCheckOutcome::NotValid;
        case TSignatureVerdict::NotInterpretable:
            break;
    }
    return TCheckOutcome::NotInterpretable;
}

const char* OutcomeName(TCheckOutcome outcome) {
    switch (outcome) {
        case TCheckOutcome::Ok:
            return "OK";
        case TCheckOutcome::NotValid:
            return "NOT VALID";
        case TCheckOutcome::NotInterpretable:
            return "not interpretable";
        case TCheckOutcome::NotChecked:
            return "not checked";
        case TCheckOutcome::Error:
            break;
    }
    return "failed to load";
}

TRgb OutcomeColor(TCheckOutcome outcome) {
    switch (outcome) {
        case TCheckOutcome::Ok:
            return VerdictColor(TSignatureVerdict::Valid);
        case TCheckOutcome::NotValid:
            return VerdictColor(TSignatureVerdict::NotValid);
        case TCheckOutcome::NotInterpretable:
            return VerdictColor(TSignatureVerdict::NotInterpretable);
        case TCheckOutcome::NotChecked:
            return Rgb(224, 224, 224);
        case TCheckOutcome::Error:
            break;
    }
    return Rgb(255, 200, 140);
}

std::string OutcomeText(const TFileReport& report) {
    if (report.Error) {
        return "Failed to load: " + *report.Error +
               (report.ErrorReason ? " " + *report.ErrorReason : std::string());
    }
    if (report.Verdict) {
        return VerdictText(*report.Verdict);
    }
    return "Not checked: " + WhyNotCheckedText(report.State, report.Empty);
}

std::optional<std::string> OutcomeReason(const TFileReport& report) {
    if (report.Error) {
        return report.ErrorReason;
    }
    if (report.Verdict) {
        return std::nullopt;
    }
    return WhyNotCheckedText(report.State, report.Empty);
}

TExitStatus ExitStatusOf(TCheckOutcome outcome) {
    switch (outcome) {
        case TCheckOutcome::Ok:
            return TExitStatus::Ok;
        case TCheckOutcome::NotValid:
            return TExitStatus::NotValid;
        case TCheckOutcome::NotInterpretable:
        case TCheckOutcome::NotChecked:
            return TExitStatus::NotJudged;
        case TCheckOutcome::Error:
            break;
    }
    return TExitStatus::LoadError;
}

TExitStatus ExitStatusOf(const TFileReport& report) {
    return ExitStatusOf(OutcomeOf(report));
}

std::string SameContentText(const std::string& firstName) {
    return "same content as " + firstName;
}

bool HasHarmlessCause(const TFileReport& report) {
    return report.LikelyCause && report.LikelyCause->Found();
}

std::string OutcomeTextWithCause(const TFileReport& report) {
    if (!HasHarmlessCause(report)) {
        return OutcomeText(report);
    }
    return OutcomeText(report) + " \u2014 " + LikelyCauseSummary(report.LikelyCause->Changes);
}

std::optional<TDateTime> FirstRecordTime(const TFileReport& report) {
    for (const TDirectionReport& d : report.Directions) {
        if (d.HasData) {
            return d.Time;
        }
    }
    return std::nullopt;
}

namespace {

// The message of a load error holds the path's bytes, which need not be UTF-8.
std::string ErrorText(const std::exception& e) {
    return QString::fromUtf8(e.what()).toUtf8().toStdString();
}

// Takes the digest of the bytes a load reads.
class TDigestSink {
  public:
    TFileBytesSink Sink() {
        return [this](std::string_view bytes) { Hash_.Add(bytes); };
    }
    std::string Hex() { return Hash_.FinishHex(); }

  private:
    TSha256 Hash_;
};

}  // namespace

std::string FileSha256(const std::filesystem::path& path) {
    std::error_code notRegular;
    if (!std::filesystem::is_regular_file(path, notRegular)) {
        return {};
    }
    try {
        TDigestSink digest;
        TLogTextRuns runs(path);
        runs.ForEachRun([](std::string_view) {}, digest.Sink());
        return digest.Hex();
    } catch (const std::exception&) {
        return {};
    }
}

TFileReport CheckLogFile(const TBatchInput& input, const TInspectLoad& inspect) {
    return CheckLogFile(input, TCheckOptions{}, inspect);
}

TFileReport CheckLogFile(const TBatchInput& input, const TCheckOptions& options,
                         const TInspectLoad& inspect) {
    try {
        THeadlessView view;
        TLogLoader loader(view);
        loader.SetParseRecords(options.Records);
        view.ForgetSelectorPlacements();
        std::optional<std::string> error = input.Problem;
        std::optional<std::string> reason;
        const bool standardInput = input.Path.native() == "-";
        const std::filesystem::path& path = standardInput ? StandardInputPath : input.Path;
        std::optional<TDigestSink> digest;
        if (options.Sha256) {
            digest.emplace();
        }
        if (!error) {
            try {
                loader.LoadLogFile(path, digest ? digest->Sink() : TFileBytesSink(), input.Kind);
            } catch (const EFOpenError& e) {
                error = ErrorText(e);
                reason = OpenFailureReason(path);
            } catch (const EIntOverflow& e) {
                error = ErrorText(e);
                reason = std::string(OverflowReason);
            } catch (const std::exception& e) {
                error = ErrorText(e);
            }
        }
        TFileReport report = MakeFileReport(input.Path, error, loader, view, options.CellLines);
        report.ErrorReason = std::move(reason);
        if (digest && !error) {
            report.Sha256 = digest->Hex();
        }
        if (options.Size && !input.Problem && !standardInput) {
            std::error_code sizeError;
            const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
            if (!sizeError) {
                report.Size = size;
            }
        }
        if (inspect) {
            inspect(loader, view, report);
        }
        return report;
    } catch (const std::exception& e) {
        TFileReport report;
        report.Path = input.Path;
        report.File = DisplayPathText(input.Path).toStdString();
        report.Error = ErrorText(e);
        return report;
    }
}

void TBatchCounts::Add(const TFileReport& report) {
    Add(OutcomeOf(report));
}

void TBatchCounts::Add(TCheckOutcome outcome) {
    ++Files;
    switch (outcome) {
        case TCheckOutcome::Ok:
            ++Ok;
            break;
        case TCheckOutcome::NotValid:
            ++NotValid;
            break;
        case TCheckOutcome::NotInterpretable:
            ++NotInterpretable;
            break;
        case TCheckOutcome::NotChecked:
            ++NotChecked;
            break;
        case TCheckOutcome::Error:
            ++Errors;
            break;
    }
}

TExitStatus TBatchCounts::ExitStatus() const {
    const std::pair<size_t, TCheckOutcome> counted[] = {
        {Ok, TCheckOutcome::Ok},
        {NotValid, TCheckOutcome::NotValid},
        {NotInterpretable, TCheckOutcome::NotInterpretable},
        {NotChecked, TCheckOutcome::NotChecked},
        {Errors, TCheckOutcome::Error}};
    TExitStatus status = TExitStatus::Ok;
    for (const auto& [count, outcome] : counted) {
        if (count > 0) {
            status = std::max(status, ExitStatusOf(outcome));
        }
    }
    return status;
}

std::string TBatchCounts::Text() const {
    return std::to_string(Files) + (Files == 1 ? " file: " : " files: ") + std::to_string(Ok) +
           " OK, " + std::to_string(NotValid) + " NOT VALID, " + std::to_string(NotInterpretable) +
           " could not be interpreted, " + std::to_string(NotChecked) + " not checked, " +
           std::to_string(Errors) + (Errors == 1 ? " error" : " errors");
}
