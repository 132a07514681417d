#include "report/DeliveryReport.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <stdexcept>
#include <thread>

#include "batch/BatchRun.h"
#include "drawing/BandImages.h"
#include "report/ReportPages.h"

namespace {

TSummaryEntry SummaryEntryOf(const TFileReport& report) {
    TSummaryEntry entry;
    entry.Name = QString::fromStdString(report.File);
    entry.Outcome = OutcomeOf(report);
    entry.OutcomeText = QString::fromStdString(OutcomeText(report));
    if (!report.Error) {
        entry.SoftwareVersion = report.State.SoftwareVersion;
    }
    return entry;
}

// Runs `work` over every input in input order on the threads, handing each result to
// `deliver`; false when progress asked to stop.
template <typename Result>
bool RunOver(const std::vector<TBatchInput>& inputs, unsigned jobs,
             const std::function<Result(const TBatchInput&)>& work,
             const std::function<void(Result&)>& deliver, const std::function<bool()>& goOn) {
    std::atomic<bool> stop{false};
    size_t next = 0;
    RunInOrder<size_t, Result>(
        jobs, ReorderWindow(jobs),
        [&]() -> std::optional<size_t> {
            return next < inputs.size() ? std::optional(next++) : std::nullopt;
        },
        [&](size_t& i) { return work(inputs[i]); },
        [&](Result& result) {
            deliver(result);
            if (!goOn()) {
                stop = true;
            }
        },
        [&](size_t) {
            if (!goOn()) {
                stop = true;
            }
        },
        &stop);
    return !stop;
}

[[noreturn]] void WriteFailed(const QString& path, const QString& why) {
    throw std::runtime_error(
        QStringLiteral("The file %1 could not be written: %2").arg(path, why).toStdString());
}

}  // namespace

std::optional<TBatchCounts> WriteDeliveryReport(const QString& path,
                                                const std::vector<TBatchInput>& inputs,
                                                const TDeliveryReportOptions& options,
                                                const TReportProgress& progress) {
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    const unsigned jobs =
        options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    const size_t total = 2 * inputs.size();
    size_t done = 0;
    const auto goOn = [&] { return !progress || progress(done, total); };

    std::vector<TSummaryEntry> entries;
    entries.reserve(inputs.size());
    TBatchCounts counts;
    const bool summarised = RunOver<TFileReport>(
        inputs, jobs, [](const TBatchInput& input) { return CheckLogFile(input); },
        [&](TFileReport& report) {
            counts.Add(report);
            entries.push_back(SummaryEntryOf(report));
            ++done;
        },
        goOn);
    if (!summarised) {
        return std::nullopt;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        WriteFailed(path, file.errorString());
    }
    QPdfWriter writer(&file);
    writer.setResolution(ReportDotsPerInch);
    // A4 in whole points, as the PDF states it, with half-inch margins: every length of the
    // page is then a whole number of dots at the report's resolution.
    writer.setPageLayout(QPageLayout(QPageSize(QSize(595, 842), QStringLiteral("A4"),
                                               QPageSize::ExactMatch),
                                     QPageLayout::Portrait, QMarginsF(36, 36, 36, 36),
                                     QPageLayout::Point));
    writer.setTitle(QStringLiteral("NORVA-G delivery report"));
    writer.setCreator(options.CheckedBy);
    QPainter painter;
    if (!painter.begin(&writer)) {
        WriteFailed(path, QStringLiteral("the PDF could not be started"));
    }
    // JPEG would smear the charts' one-pixel lines.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::Antialiasing);
    TReportPainter pages(writer, painter);
    pages.DrawSummary({options.Source, options.CheckedBy,
                       options.When.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))},
                      counts, entries);
    entries = {};
    const bool paged = RunOver<TLogPage>(
        inputs, jobs, [](const TBatchInput& input) { return CheckLogPage(input); },
        [&](TLogPage& page) {
            pages.DrawLogPage(page);
            ++done;
        },
        goOn);
    painter.end();
    if (!paged) {
        file.cancelWriting();
        return std::nullopt;
    }
    if (file.error() != QFileDevice::NoError || !file.commit()) {
        WriteFailed(path, file.errorString());
    }
    return counts;
}
