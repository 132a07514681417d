#pragma once
// The pictures norva-inspect writes: a chart as PNG and the delivery report as PDF. They need
// Qt's GUI libraries, which a check without pictures never loads: norva-inspect goes on as
// norva-inspect-images, the same program linked with them, when a command line asks for one.

#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "batch/BatchInputs.h"
#include "batch/LogCheck.h"
#include "charts/ChartCanvas.h"
#include "report/DeliveryReport.h"

struct TInspectImages {
    // Writes the chart's image; false (after saying why) when it cannot be written.
    std::function<bool(const TChartCanvas& chart, const QString& path)> SaveChartPng;
    // As CheckAndWriteDeliveryReport.
    std::function<std::optional<TBatchCounts>(
        const QString& path, const std::vector<TBatchInput>& inputs,
        const TDeliveryReportOptions& options, const TReportProgress& progress)>
        WriteReport;
};

// The whole program after its application object exists: options, checks, output, exit
// status. Without `images`, a command line that asks for a picture is handed over to
// norva-inspect-images (installed beside this program or in its private folder).
int RunInspect(int argc, char** argv, const TInspectImages* images);
