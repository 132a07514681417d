#pragma once

#include <QObject>
#include <atomic>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "app/LogLoader.h"

class TThreadInbox;

// Prepares one load of a log on a thread of its own: reading, scanning, judging and searching
// a large log take seconds that the window's thread spends on its events meanwhile. Ended is
// emitted on the job's owner's thread; a stopped job ends when it next tells its progress and
// says nothing more.
class TLoadJob : public QObject {
    Q_OBJECT

  public:
    explicit TLoadJob(std::filesystem::path path, QObject* parent = nullptr);
    ~TLoadJob() override;  // stops the job and waits for its thread
    TLoadJob(const TLoadJob&) = delete;
    TLoadJob& operator=(const TLoadJob&) = delete;

    // Stops the job and lets its thread end when it can, the job with it: for a job whose
    // thread cannot stop yet (a read from a pipe that nobody writes to or closes) when the
    // program ends.
    static void LeaveRunning(std::unique_ptr<TLoadJob> job);

    void Stop() { Stop_.store(true, std::memory_order_relaxed); }
    bool Finished() const { return Finished_.load(); }
    // The share of the work done, 0 to 1, while the job runs.
    double Done() const { return Done_.load(std::memory_order_relaxed); }
    // After Ended: what the load worked out, or what went wrong outside the load's own steps
    // (raised again here).
    TPreparedLoad TakeResult();

  signals:
    void Ended();

  private:
    std::atomic<bool> Stop_{false};
    std::atomic<bool> Finished_{false};
    std::atomic<double> Done_{0};
    std::optional<TPreparedLoad> Result_;
    std::exception_ptr Failure_;
    TThreadInbox* Inbox_;
    std::thread Thread_;
};
