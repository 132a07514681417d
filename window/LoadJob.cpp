#include "window/LoadJob.h"

#include <utility>
#include <vector>

#include "window/ThreadInbox.h"

TLoadJob::TLoadJob(std::filesystem::path path, QObject* parent)
    : QObject(parent), Inbox_(new TThreadInbox(this)) {
    Thread_ = std::thread([this, path = std::move(path)] {
        bool stopped = false;
        try {
            Result_ = PrepareLoad(path, {}, [this](double done) {
                Done_.store(done, std::memory_order_relaxed);
                return !Stop_.load(std::memory_order_relaxed);
            });
        } catch (const ELoadStopped&) {
            stopped = true;
        } catch (...) {
            Failure_ = std::current_exception();
        }
        Finished_.store(true);
        // A stopped job's owner may be gone: it is told nothing.
        if (!stopped && !Stop_.load(std::memory_order_relaxed)) {
            Inbox_->Post([this] { emit Ended(); });
        }
    });
}

TLoadJob::~TLoadJob() {
    Stop();
    if (Thread_.joinable()) {
        Thread_.join();
    }
}

void TLoadJob::LeaveRunning(std::unique_ptr<TLoadJob> job) {
    job->Stop();
    job->Thread_.detach();
    // Kept where the thread can still reach it, and where leak checks see it held.
    static auto* const leftRunning = new std::vector<std::unique_ptr<TLoadJob>>();
    leftRunning->push_back(std::move(job));
}

TPreparedLoad TLoadJob::TakeResult() {
    if (Failure_) {
        std::rethrow_exception(Failure_);
    }
    return std::move(*Result_);
}
