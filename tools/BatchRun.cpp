#include "tools/BatchRun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

void RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& emit, const std::function<void(size_t)>& tick) {
    std::mutex mutex;
    std::condition_variable finishedOne;
    std::vector<char> done(count, 0);
    size_t doneCount = 0;
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < count; i = next++) {
            work(i);
            {
                const std::lock_guard lock(mutex);
                done[i] = 1;
                ++doneCount;
            }
            finishedOne.notify_all();
        }
    };
    std::vector<std::jthread> threads;
    const size_t threadCount = std::min<size_t>(std::max(jobs, 1u), count);
    for (size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back(worker);
    }
    for (size_t i = 0; i < count; ++i) {
        std::unique_lock lock(mutex);
        while (done[i] == 0) {
            finishedOne.wait_for(lock, 250ms);
            const size_t soFar = doneCount;
            lock.unlock();
            tick(soFar);
            lock.lock();
        }
        lock.unlock();
        emit(i);
    }
}

TProgress::TProgress(size_t total, bool forced)
    : Total_(total),
      Forced_(forced),
      Terminal_(::isatty(STDERR_FILENO) == 1),
      Start_(TClock::now()) {}

void TProgress::Tick(size_t done) {
    if (!Forced_ && !Terminal_) {
        return;
    }
    const auto now = TClock::now();
    if (!Forced_ && now - Start_ < 1s) {
        return;
    }
    if (Shown_ && now - Last_ < (Terminal_ ? 200ms : 1000ms)) {
        return;
    }
    Show(done);
}

void TProgress::Clear() {
    if (Showing_) {
        std::fputs("\r\x1b[K", stderr);
        Showing_ = false;
    }
}

void TProgress::Finish(size_t done) {
    // On a terminal the closing count says the rest; a log of standard error keeps the end.
    if (Terminal_) {
        Clear();
    } else if ((Shown_ && done != LastShown_) || (!Shown_ && Forced_)) {
        Show(done);
    }
}

void TProgress::Show(size_t done) {
    std::fprintf(stderr, Terminal_ ? "\rchecked %zu/%zu" : "checked %zu/%zu\n", done, Total_);
    std::fflush(stderr);
    Showing_ = Terminal_;
    Shown_ = true;
    LastShown_ = done;
    Last_ = TClock::now();
}
