#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

#include <optional>

#include "batch/BatchInputs.h"
#include "batch/LogCheck.h"

struct TDeliveryReportOptions {
    QString Source;     // what was checked: a folder, or the paths given
    QString CheckedBy;  // program and version
    QDateTime When;
    unsigned Jobs = 0;  // 0: one thread per processor
};

// progress(done, total) on the calling thread; false cancels the report.
using TReportProgress = std::function<bool(size_t done, size_t total)>;

// Writes the report of a delivery as a PDF: a summary (when and by what it was checked, the
// counts of each outcome, a table of every log with its verdict, continued over as many pages
// as it needs), then a page for each log with its header values, its polar chart and, for each
// direction with data, the bar chart and the cell lines, drawn by the window's chart code at
// whole multiples of their pixels so that they stay sharp in print. Every log is checked once
// for the summary and once more for its page; pages are drawn and written one at a time, so
// memory stays bounded whatever the number of logs. The file is written under a temporary
// name and put in place only when complete: a cancelled or failed report leaves nothing
// behind. Returns the counts of the summary, nothing when cancelled; throws
// std::runtime_error when the file cannot be written.
std::optional<TBatchCounts> WriteDeliveryReport(const QString& path,
                                                const std::vector<TBatchInput>& inputs,
                                                const TDeliveryReportOptions& options,
                                                const TReportProgress& progress);
