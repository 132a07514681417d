#include "window/LogCheckJob.h"

#include <chrono>
#include <exception>

#include "batch/BatchRun.h"

namespace {

using TClock = std::chrono::steady_clock;
// Rows and results go to the owner in parts: one event per log would flood its event loop
// with a folder of a million of them, and one event for all would hold it up too long.
constexpr size_t ListedPart = 4096;
constexpr size_t CheckedPart = 256;
constexpr auto PartInterval = std::chrono::milliseconds(100);

}  // namespace

TLogCheckJob::TLogCheckJob(std::optional<TLogListing> listing, std::vector<TBatchInput> logs,
                           uint64_t serial, unsigned jobs, TCallbacks callbacks)
    : Serial_(serial), Callbacks_(std::move(callbacks)) {
    Thread_ = std::thread([this, listing = std::move(listing), logs = std::move(logs),
                           jobs]() mutable { Run(listing, std::move(logs), jobs); });
}

TLogCheckJob::~TLogCheckJob() {
    Cancel();
    if (Thread_.joinable()) {
        Thread_.join();
    }
}

void TLogCheckJob::Run(const std::optional<TLogListing>& listing, std::vector<TBatchInput> logs,
                       unsigned jobs) {
    std::optional<std::string> failure;
    try {
        if (listing) {
            std::vector<TBatchInput> listed = List(*listing);
            logs.insert(logs.begin(), listed.begin(), listed.end());
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

// Walks the folder, handing the rows over in parts as they are found; returns what to check.
std::vector<TBatchInput> TLogCheckJob::List(const TLogListing& listing) {
    const QCollator collator = NameCollator();
    std::vector<TBatchInput> logs;
    TListed part;
    const auto send = [&](bool complete) {
        part.Complete = complete;
        if (!Stop_.load()) {
            Callbacks_.Listed(std::move(part));
        }
        part = {};
    };
    TBatchInputSource source({listing.Folder.native()}, true);
    source.FolderEntered = [&part](const std::filesystem::path& folder) {
        part.Folders.push_back(folder);
    };
    while (!Stop_.load()) {
        std::optional<TBatchInput> input = source.Next();
        if (!input) {
            break;
        }
        if (input->Problem && !listing.KeepProblems) {
            continue;
        }
        part.Rows.push_back(NewLogListRow(input->Path, listing.Root, Serial_));
        part.Keys.push_back(collator.sortKey(part.Rows.back().Name));
        logs.push_back(std::move(*input));
        if (part.Rows.size() == ListedPart) {
            send(false);
        }
    }
    send(true);
    return logs;
}

void TLogCheckJob::Check(const std::vector<TBatchInput>& logs, unsigned jobs) {
    std::vector<TLogCheckResult> part;
    auto lastSent = TClock::now();
    const auto send = [&] {
        if (!part.empty() && !Stop_.load()) {
            Callbacks_.Checked(std::move(part));
        }
        part.clear();
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
            TakeCheckResult(result.Row, CheckLogFile(logs[i], TCheckOptions{.Sha256 = true}));
            return result;
        },
        [&](TLogCheckResult& result) {
            part.push_back(std::move(result));
            if (part.size() >= CheckedPart || TClock::now() - lastSent > PartInterval) {
                send();
            }
        },
        [&](size_t) {
            if (TClock::now() - lastSent > PartInterval) {
                send();
            }
        },
        &Stop_);
    send();
}
