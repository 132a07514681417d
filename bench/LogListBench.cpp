// The log list over a folder, as bench/run-log-list measures it: the time until every log is
// checked, the longest the user-interface thread went without running its timers meanwhile,
// the time of sorting and filtering the whole list, and the peak memory. Prints one line of
// "key value" pairs.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

#include "window/LogListModel.h"
#include "window/LogListWindow.h"

namespace {

double Milliseconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

template <typename Work>
double Timed(Work&& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    QApplication::processEvents();
    return Milliseconds(timer);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: norva-log-list-bench FOLDER [JOBS]\n");
        return 64;
    }
    const unsigned jobs = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0;
    TLogListWindow list;
    list.show();
    QElapsedTimer heartbeat;
    double longestGap = 0;
    QTimer beat;
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, Milliseconds(heartbeat));
        heartbeat.restart();
    });
    QElapsedTimer checking;
    checking.start();
    heartbeat.start();
    beat.start();
    list.OpenFolder(QFile::encodeName(QString::fromLocal8Bit(argv[1])).toStdString(), jobs);
    QObject::connect(&list.Model(), &TLogListModel::Finished, &application, &QApplication::quit);
    if (!list.Model().Done()) {
        QApplication::exec();
    }
    const double checked = Milliseconds(checking);
    beat.stop();
    const double sortSize = Timed([&] { list.Table().sortByColumn(4, Qt::DescendingOrder); });
    const double sortName = Timed([&] { list.Table().sortByColumn(0, Qt::AscendingOrder); });
    const double problems = Timed([&] { list.OutcomeFilter().setCurrentIndex(1); });
    const double name = Timed([&] { list.NameFilter().setText(QStringLiteral("log00")); });
    const double all = Timed([&] {
        list.NameFilter().clear();
        list.OutcomeFilter().setCurrentIndex(0);
    });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf(
        "rows %d checked_s %.3f longest_gap_ms %.1f sort_size_ms %.1f sort_name_ms %.1f "
        "filter_problems_ms %.1f filter_name_ms %.1f unfilter_ms %.1f peak_mib %.1f\n",
        list.Model().rowCount(), checked / 1000, longestGap, sortSize, sortName, problems, name,
        all, static_cast<double>(usage.ru_maxrss) / 1024);
    return 0;
}
