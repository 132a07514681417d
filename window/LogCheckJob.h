#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "batch/BatchInputs.h"
#include "window/LogListRow.h"

// A result of a background check, with the identity it was asked under.
struct TLogCheckResult {
    std::filesystem::path Path;
    uint64_t Serial = 0;
    TLogListRow Row;  // the check's values; Path, Name and CheckSerial are not set
};

// The work of one opening of a folder, or of one recheck of changed files, on threads of its
// own: optionally lists a folder (its logs and every folder below it), then checks logs.
// Callbacks run on the job's own thread; the owner passes them on to its thread. Cancel()
// returns at once: the threads finish the file they are on and end. The destructor cancels
// and waits, so an owner keeps a cancelled job until Finished() and then drops it.
class TLogCheckJob {
  public:
    struct TListing {
        std::vector<TBatchInput> Logs;  // a folder without logs stands for itself, with its problem
        std::vector<std::filesystem::path> Folders;
    };
    struct TCallbacks {
        std::function<void(TListing)> Listed;
        std::function<void(std::vector<TLogCheckResult>)> Checked;     // in small groups
        std::function<void(std::optional<std::string> failure)> Done;  // last, also when cancelled
    };

    // Lists `folder` first when it is given, then checks its logs and every path of `logs`,
    // each result tagged with `serial`.
    TLogCheckJob(std::optional<std::filesystem::path> folder, std::vector<TBatchInput> logs,
                 uint64_t serial, unsigned jobs, TCallbacks callbacks);
    ~TLogCheckJob();
    TLogCheckJob(const TLogCheckJob&) = delete;
    TLogCheckJob& operator=(const TLogCheckJob&) = delete;

    void Cancel() { Stop_.store(true); }
    bool Cancelled() const { return Stop_.load(); }
    bool Finished() const { return Finished_.load(); }
    uint64_t Serial() const { return Serial_; }

  private:
    void Run(const std::optional<std::filesystem::path>& folder, std::vector<TBatchInput> logs,
             unsigned jobs);
    void Check(const std::vector<TBatchInput>& logs, unsigned jobs);

    const uint64_t Serial_;
    const TCallbacks Callbacks_;
    std::atomic<bool> Stop_{false};
    std::atomic<bool> Finished_{false};
    std::thread Thread_;
};

// Every .ktz file and every folder below `folder` (links followed, each folder once), each
// folder's entries in name order.
TLogCheckJob::TListing ListLogFolder(const std::filesystem::path& folder,
                                     const std::atomic<bool>& stop);
