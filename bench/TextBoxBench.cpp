// The main window on a large log, as scripts/measure-window-load measures it: how long the
// user-interface thread went without running its timers while the log opened, while the text
// box went to its end, selected and copied everything, scrolled by pages and to both ends,
// found a text near the end, and searched for a text that is not there. Prints one line of "key
// value" pairs.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "window/NorvaViewerUnit.h"
#include "window/WindowTextView.h"

namespace {

// The longest gap between two ticks of a timer that should tick every 5 ms.
class THeartbeat {
  public:
    THeartbeat() {
        Timer_.setInterval(5);
        QObject::connect(&Timer_, &QTimer::timeout, [this] {
            Longest_ = std::max(Longest_, Since_.nsecsElapsed() / 1e6);
            Since_.restart();
        });
    }
    // Runs `work`, then the event loop until `done`; the longest gap meanwhile.
    double During(const std::function<void()>& work, const std::function<bool()>& done) {
        Longest_ = 0;
        Since_.start();
        Timer_.start();
        work();
        while (!done()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        QApplication::processEvents();
        Timer_.stop();
        return std::max(Longest_, Since_.nsecsElapsed() / 1e6);
    }

  private:
    QTimer Timer_;
    QElapsedTimer Since_;
    double Longest_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: norva-text-box-bench FILE\n");
        return 64;
    }
    TfmNorvaViewer window(QFile::encodeName(QString::fromLocal8Bit(argv[1])).toStdString());
    window.ShowError = [](const QString& message, const QString&) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    };
    auto& box = *window.findChild<TLazyTextView*>(QStringLiteral("mmFileContent"));
    box.ShowNotice = [](const QString&) {};
    THeartbeat heartbeat;
    const auto idle = [&box] { return !box.Busy(); };
    QElapsedTimer clock;
    clock.start();
    const double open =
        heartbeat.During([&] { window.show(); }, [&] { return window.StartHandled() && idle(); });
    const double openSeconds = clock.nsecsElapsed() / 1e9;
    box.setFocus();
    const double end = heartbeat.During(
        [&] {
            QKeyEvent toEnd(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
            QApplication::sendEvent(&box, &toEnd);
            box.SelectAll();
            box.CopySelection();
        },
        idle);
    const double scroll = heartbeat.During(
        [&] {
            for (const auto key :
                 {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_PageDown, Qt::Key_End, Qt::Key_PageUp}) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
                QApplication::sendEvent(&box, &press);
                QApplication::processEvents();
            }
        },
        idle);
    // Far from the caret, near the end: the search goes through nearly every line.
    const double searchHit =
        heartbeat.During([&] { box.Find(QStringLiteral("SIGNATURE:"), true); }, idle);
    clock.restart();
    bool found = true;
    QObject::connect(&box, &TLazyTextView::SearchEnded, [&found](bool match) { found = match; });
    const double search =
        heartbeat.During([&] { box.Find(QStringLiteral("no such text in any log"), true); }, idle);
    const double searchSeconds = clock.nsecsElapsed() / 1e9;
    std::printf(
        "lines %lld open_s %.2f open_gap_ms %.0f select_copy_gap_ms %.0f scroll_gap_ms %.0f "
        "search_hit_gap_ms %.0f search_miss_s %.2f search_gap_ms %.0f found %d\n",
        static_cast<long long>(box.LineCount()), openSeconds, open, end, scroll, searchHit,
        searchSeconds, search, found ? 1 : 0);
    return 0;
}
