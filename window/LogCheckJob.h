#pragma once

#include <QCollatorSortKey>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
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

// What to list: a folder below the list's folder (or that folder itself).
struct TLogListing {
    std::filesystem::path Folder;
    std::filesystem::path Root;  // the rows are named by their paths below it
    bool KeepProblems = false;   // a folder without logs gets a row saying so
};

// The work of one opening of a folder, or of one recheck of changed files, on a thread of its
// own (and more while checking): optionally lists a folder, then checks logs. Callbacks run
// on the job's threads, one at a time; the owner passes them on to its own thread. Cancel()
// returns at once: the threads finish the file they are on and end. The destructor cancels
// and waits, so an owner keeps a cancelled job until Finished() and then drops it.
class TLogCheckJob {
  public:
    // A part of a folder's listing: rows not checked yet, with their names' sort keys.
    struct TListed {
        std::vector<TLogListRow> Rows;
        std::vector<QCollatorSortKey> Keys;
        std::vector<std::filesystem::path> Folders;
        bool Complete = false;  // the last part
    };
    struct TCallbacks {
        std::function<void(TListed)> Listed;
        std::function<void(std::vector<TLogCheckResult>)> Checked;     // in small groups
        std::function<void(std::optional<std::string> failure)> Done;  // last, also when cancelled
    };

    // Lists when `listing` is given, then checks the logs listed and every one of `logs`,
    // each result and row tagged with `serial`.
    TLogCheckJob(std::optional<TLogListing> listing, std::vector<TBatchInput> logs, uint64_t serial,
                 unsigned jobs, TCallbacks callbacks);
    ~TLogCheckJob();
    TLogCheckJob(const TLogCheckJob&) = delete;
    TLogCheckJob& operator=(const TLogCheckJob&) = delete;

    void Cancel() { Stop_.store(true); }
    bool Finished() const { return Finished_.load(); }

  private:
    void Run(const std::optional<TLogListing>& listing, std::vector<TBatchInput> logs,
             unsigned jobs);
    std::vector<TBatchInput> List(const TLogListing& listing);
    void Check(const std::vector<TBatchInput>& logs, unsigned jobs);

    const uint64_t Serial_;
    const TCallbacks Callbacks_;
    std::atomic<bool> Stop_{false};
    std::atomic<bool> Finished_{false};
    std::thread Thread_;
};
