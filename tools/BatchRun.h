#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>

// Runs work(i) for every i below `count` on `jobs` threads and calls emit(i) on the calling
// thread in index order, each as soon as work(i) is done and every earlier index was emitted,
// so that output streams in input order whatever order the threads finish in. While it waits
// it calls tick(number of works done) now and then. `work` must not throw; it runs on a worker
// thread and may touch only what belongs to index i.
void RunInOrder(size_t count, unsigned jobs, const std::function<void(size_t)>& work,
                const std::function<void(size_t)>& emit, const std::function<void(size_t)>& tick);

// "checked 120/5000" on standard error. On a terminal one line rewritten in place, shown only
// once the run has taken more than a moment; when forced (--progress) shown from the start,
// and as separate lines at most once a second where standard error is not a terminal.
class TProgress {
  public:
    TProgress(size_t total, bool forced);

    void Tick(size_t done);
    // Before other output: wipes a progress line that would run into it.
    void Clear();
    // Ends the progress: wiped from a terminal, else the final count when progress was shown.
    void Finish(size_t done);

  private:
    using TClock = std::chrono::steady_clock;
    void Show(size_t done);

    size_t Total_;
    bool Forced_;
    bool Terminal_;
    bool Showing_ = false;  // a rewritable line stands on the terminal
    bool Shown_ = false;
    size_t LastShown_ = 0;
    TClock::time_point Start_;
    TClock::time_point Last_;
};
