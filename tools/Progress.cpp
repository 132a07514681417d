#include "tools/Progress.h"

#include <unistd.h>

using namespace std::chrono_literals;

TProgress::TProgress(bool forced)
    : Forced_(forced), Terminal_(::isatty(STDERR_FILENO) == 1), Start_(TClock::now()) {}

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

void TProgress::Finish(size_t total) {
    Total_ = total;
    const size_t done = total;
    // On a terminal the closing count says the rest; a log of standard error keeps the end.
    if (Terminal_) {
        Clear();
    } else if ((Shown_ && (done != LastShown_ || !LastShownWithTotal_)) || (!Shown_ && Forced_)) {
        Show(done);
    }
}

void TProgress::Show(size_t done) {
    if (Total_) {
        std::fprintf(stderr, Terminal_ ? "\rchecked %zu/%zu" : "checked %zu/%zu\n", done, *Total_);
    } else {
        std::fprintf(stderr, Terminal_ ? "\rchecked %zu" : "checked %zu\n", done);
    }
    std::fflush(stderr);
    Showing_ = Terminal_;
    Shown_ = true;
    LastShown_ = done;
    LastShownWithTotal_ = Total_.has_value();
    Last_ = TClock::now();
}
