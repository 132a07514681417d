#pragma once

#include <QDateTime>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/LogCheck.h"

struct TDeliveryReportOptions {
    QString Source;     // what was checked: a folder, or the paths given
    QString Coverage;   // which of its logs the report holds, when not all: "34 of 330 logs: …"
    QString Order;      // the order of the logs, when it is not the order they were given in
    QString CheckedBy;  // program and version
    QDateTime When;
    unsigned Jobs = 0;  // 0: one thread per processor
};

// One log as the report tells it: the outcome of its check, and the bytes that were checked.
struct TReportLog {
    std::filesystem::path Path;
    QString Name;
    TCheckOutcome Outcome = TCheckOutcome::Error;
    QString OutcomeText;
    std::optional<int32_t> SoftwareVersion;
    std::string Sha256;   // empty when the file could not be read
    QString DuplicateOf;  // the name of an earlier log of the report with the same bytes
    QString LikelyCause;  // for a NOT VALID log: what the search for a harmless change found
    // The header was read, so its values are the file's (not a failed load, not an empty file
    // or one that is no log at all).
    bool HeaderRead = false;
};

TReportLog ReportLogOf(const TFileReport& report);
// Marks every log whose bytes an earlier one of the list has.
void MarkDuplicates(std::vector<TReportLog>& logs);

// progress(done, total) on the calling thread; false cancels the report.
using TReportProgress = std::function<bool(size_t done, size_t total)>;

// Writes the report of a delivery as a PDF: a summary (when and by what it was checked, what
// it covers, the counts of each outcome, a table of every log with its verdict and digest,
// continued over as many pages as it needs), then a page for each log with its outcome, its
// header values, its polar chart and, for each direction with data, the bar chart and the
// cell lines, drawn by the window's chart code at whole multiples of their pixels so that
// they stay sharp in print. The outcomes are those given; the files are read again only for
// their charts. Pages are drawn and written one at a time, so memory stays bounded whatever
// the number of logs. The file is written under a temporary name and put in place only when
// complete: a cancelled or failed report leaves nothing behind. Returns the counts of the
// summary, nothing when cancelled; throws std::runtime_error when the file cannot be written.
std::optional<TBatchCounts> WriteDeliveryReport(const QString& path,
                                                const std::vector<TReportLog>& logs,
                                                const TDeliveryReportOptions& options,
                                                const TReportProgress& progress);

// The same for logs not checked yet: each is checked first (for norva-inspect --report).
std::optional<TBatchCounts> CheckAndWriteDeliveryReport(const QString& path,
                                                        const std::vector<TBatchInput>& inputs,
                                                        const TDeliveryReportOptions& options,
                                                        const TReportProgress& progress);
