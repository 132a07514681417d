#include "window/LogCheckJob.h"

#include <chrono>
#include <exception>

#include "batch/BatchInputs.h"
#include "batch/BatchRun.h"

namespace {

using TClock = std::chrono::steady_clock;
// Results go to the owner in small groups: one event per log would flood its event loop with
// a folder of a million of them.
constexpr size_t GroupSize = 256;
constexpr auto GroupInterval = std::chrono::milliseconds(100);

}  // namespace

void TakeCheckResult(TLogListRow& row, const TFileReport& report) {
    row.Outcome = OutcomeOf(report);
    row.OutcomeText = QString::fromStdString(OutcomeText(report));
    row.SoftwareVersion.reset();
    if (!report.Error) {
        row.SoftwareVersion = report.State.SoftwareVersion;
    }
    row.FirstRecord = FirstRecordTime(report);
    row.Size = report.Size;
}

TLogCheckJob::TListing ListLogFolder(const std::filesystem::path& folder,
                                     const std::atomic<bool>& stop) {
    TLogCheckJob::TListing listing;
    TBatchInputSource source({folder.native()}, true);
    source.FolderEntered = [&listing](const std::filesystem::path& entered) {
        listing.Folders.push_back(entered);
    };
    while (!stop.load()) {
        std::optional<TBatchInput> input = source.Next();
        if (!input) {
            break;
        }
        listing.Logs.push_back(std::move(*input));
    }
    return listing;
}

TLogCheckJob::TLogCheckJob(std::optional<std::filesystem::path> folder,
                           std::vector<TBatchInput> logs, uint64_t serial, unsigned jobs,
                           TCallbacks callbacks)
    : Serial_(serial), Callbacks_(std::move(callbacks)) {
    Thread_ = std::thread([this, folder = std::move(folder), logs = std::move(logs),
                           jobs]() mutable { Run(folder, std::move(logs), jobs); });
}

TLogCheckJob::~TLogCheckJob() {
    Cancel();
    if (Thread_.joinable()) {
        Thread_.join();
    }
}

void TLogCheckJob::Run(const std::optional<std::filesystem::path>& folder,
                       std::vector<TBatchInput> logs, unsigned jobs) {
    std::optional<std::string> failure;
    try {
        if (folder) {
            TListing listing = ListLogFolder(*folder, Stop_);
            logs.insert(logs.begin(), listing.Logs.begin(), listing.Logs.end());
            if (!Stop_.load()) {
                Callbacks_.Listed(std::move(listing));
            }
        }
        Check(logs, jobs);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "unknown error";
    }
    // Finished first: the owner releases the job when told, and the release waits only for
    // this thread's last return.
    Finished_.store(true);
    Callbacks_.Done(Stop_.load() ? std::nullopt : failure);
}

void TLogCheckJob::Check(const std::vector<TBatchInput>& logs, unsigned jobs) {
    std::vector<TLogCheckResult> group;
    auto lastSent = TClock::now();
    const auto send = [&] {
        if (!group.empty() && !Stop_.load()) {
            Callbacks_.Checked(std::move(group));
        }
        group.clear();
        lastSent = TClock::now();
    };
    size_t next = 0;
    RunInOrder<size_t, TLogCheckResult>(
        jobs, ReorderWindow(jobs),
        [&]() -> std::optional<size_t> {
            return next < logs.size() ? std::optional(next++) : std::nullopt;
        },
        [&](size_t& i) {
            TLogCheckResult result{logs[i].Path, Serial_, {}};
            TakeCheckResult(result.Row, CheckLogFile(logs[i]));
            return result;
        },
        [&](TLogCheckResult& result) {
            group.push_back(std::move(result));
            if (group.size() >= GroupSize || TClock::now() - lastSent > GroupInterval) {
                send();
            }
        },
        [&](size_t) {
            if (TClock::now() - lastSent > GroupInterval) {
                send();
            }
        },
        &Stop_);
    send();
}
