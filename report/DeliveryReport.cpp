#include "report/DeliveryReport.h"

#include <QFile>
#include <QHash>
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

unsigned JobsOf(const TDeliveryReportOptions& options) {
    return options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
}

// Runs `work` over every item in order on the threads, handing each result to `deliver`;
// false when `goOn` asked to stop.
template <typename Item, typename Result>
bool RunOver(const std::vector<Item>& items, unsigned jobs,
             const std::function<Result(const Item&)>& work,
             const std::function<void(Result&)>& deliver, const std::function<bool()>& goOn) {
    std::atomic<bool> stop{false};
    size_t next = 0;
    RunInOrder<size_t, Result>(
        jobs, ReorderWindow(jobs),
        [&]() -> std::optional<size_t> {
            return next < items.size() ? std::optional(next++) : std::nullopt;
        },
        [&](size_t& i) { return work(items[i]); },
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

void SetUpPages(QPdfWriter& writer, const TDeliveryReportOptions& options) {
    writer.setResolution(ReportDotsPerInch);
    // A4 in whole points, as the PDF states it, with half-inch margins: every length of the
    // page is then a whole number of dots at the report's resolution.
    writer.setPageLayout(
        QPageLayout(QPageSize(QSize(595, 842), QStringLiteral("A4"), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(36, 36, 36, 36), QPageLayout::Point));
    writer.setTitle(QStringLiteral("NORVA-G delivery report"));
    writer.setCreator(options.CheckedBy);
}

}  // namespace

TReportLog ReportLogOf(const TFileReport& report) {
    TReportLog log;
    log.Path = report.Path;
    log.Name = QString::fromStdString(report.File);
    log.Outcome = OutcomeOf(report);
    log.OutcomeText = QString::fromStdString(OutcomeTextWithCause(report));
    if (report.LikelyCause) {
        log.LikelyCause = QString::fromStdString(LikelyCauseText(*report.LikelyCause));
    }
    log.HeaderRead = !report.Error && report.State.SoftwareVersion != 0;
    if (log.HeaderRead) {
        log.SoftwareVersion = report.State.SoftwareVersion;
    }
    log.Sha256 = report.Sha256;
    return log;
}

void MarkDuplicates(std::vector<TReportLog>& logs) {
    QHash<QByteArray, QString> first;
    for (TReportLog& log : logs) {
        if (log.Sha256.empty()) {
            continue;
        }
        const QByteArray digest = QByteArray::fromStdString(log.Sha256);
        if (const auto found = first.constFind(digest); found != first.constEnd()) {
            log.DuplicateOf = *found;
        } else {
            first.insert(digest, log.Name);
        }
    }
}

std::optional<TBatchCounts> WriteDeliveryReport(const QString& path,
                                                const std::vector<TReportLog>& logs,
                                                const TDeliveryReportOptions& options,
                                                const TReportProgress& progress) {
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    size_t done = 0;
    const auto goOn = [&] { return !progress || progress(done, logs.size()); };
    TBatchCounts counts;
    for (const TReportLog& log : logs) {
        counts.Add(log.Outcome);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        WriteFailed(path, file.errorString());
    }
    QPdfWriter writer(&file);
    SetUpPages(writer, options);
    QPainter painter;
    if (!painter.begin(&writer)) {
        WriteFailed(path, QStringLiteral("the PDF could not be started"));
    }
    // JPEG would smear the charts' one-pixel lines.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.setRenderHint(QPainter::Antialiasing);
    TReportPainter pages(writer, painter);
    pages.DrawSummary({options.Source, options.Coverage, options.Order, options.CheckedBy,
                       options.When.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))},
                      counts, logs);
    const bool paged = RunOver<TReportLog, TLogPage>(
        logs, JobsOf(options),
        [](const TReportLog& log) {
            return CheckLogPage({log.Path, std::nullopt});
        },
        [&](TLogPage& page) {
            pages.DrawLogPage(page, logs[done]);
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

std::optional<TBatchCounts> CheckAndWriteDeliveryReport(const QString& path,
                                                        const std::vector<TBatchInput>& inputs,
                                                        const TDeliveryReportOptions& options,
                                                        const TReportProgress& progress) {
    std::vector<TReportLog> logs;
    logs.reserve(inputs.size());
    const auto goOn = [&] { return !progress || progress(logs.size(), 2 * inputs.size()); };
    const bool checked = RunOver<TBatchInput, TReportLog>(
        inputs, JobsOf(options),
        [](const TBatchInput& input) {
            return ReportLogOf(CheckLogFile(input, TCheckOptions{.Sha256 = true}));
        },
        [&](TReportLog& log) { logs.push_back(std::move(log)); }, goOn);
    if (!checked) {
        return std::nullopt;
    }
    MarkDuplicates(logs);
    const size_t first = logs.size();
    return WriteDeliveryReport(path, logs, options, [&](size_t done, size_t) {
        return !progress || progress(first + done, 2 * inputs.size());
    });
}
