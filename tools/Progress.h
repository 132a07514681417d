#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <optional>

// "checked 120" on standard error while the count of files is still open, "checked 5000/5000"
// at the end. On a terminal one line rewritten in place, shown only
// once the run has taken more than a moment; when forced (--progress) shown from the start,
// and as separate lines at most once a second where standard error is not a terminal.
class TProgress {
  public:
    explicit TProgress(bool forced);

    void Tick(size_t done);
    // Before other output: wipes a progress line that would run into it.
    void Clear();
    // Ends the progress: wiped from a terminal, else the final count when progress was shown.
    void Finish(size_t total);

  private:
    using TClock = std::chrono::steady_clock;
    void Show(size_t done);

    std::optional<size_t> Total_;
    bool Forced_;
    bool Terminal_;
    bool Showing_ = false;  // a rewritable line stands on the terminal
    bool Shown_ = false;
    size_t LastShown_ = 0;
    bool LastShownWithTotal_ = false;  // a last line of "checked 60" still needs "60/60"
    TClock::time_point Start_;
    TClock::time_point Last_;
};
