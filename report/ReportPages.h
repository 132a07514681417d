#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <optional>
#include <vector>

#include "batch/LogCheck.h"
#include "report/DeliveryReport.h"

class QPagedPaintDevice;
class QPainter;

// What a log's page shows: its check and the charts as the window draws them.
struct TLogPage {
    TFileReport Report;
    QImage Polar;                               // null when the log has no data
    std::array<QImage, DirectionCount> Bars{};  // null for a direction without data
};

struct TSummaryHeader {
    QString Source;
    QString Coverage;
    QString Order;
    QString CheckedBy;
    QString When;
};

// Page dots per chart pixel: whole numbers keep every chart pixel a sharp square. At 288 dots
// per inch a PDF point (1/72 inch, in which the page is laid out) is exactly 4 dots, so the
// squares fall on whole dots of the page.
inline constexpr int PolarScale = 3;
inline constexpr int BarsScale = 2;
inline constexpr int ReportDotsPerInch = 288;

// Draws onto a paged device page by page, starting a new page whenever the next block does
// not fit on the current one.
class TReportPainter {
  public:
    TReportPainter(QPagedPaintDevice& device, QPainter& painter);

    void DrawSummary(const TSummaryHeader& header, const TBatchCounts& counts,
                     const std::vector<TReportLog>& logs);
    // The page of `log`, its charts and values from `page`, a fresh load of the same file.
    void DrawLogPage(const TLogPage& page, const TReportLog& log);

  private:
    void NewPage();
    void Ensure(int height);
    int LineHeight() const;
    int TextLine(const QString& text, const QFont& font, int x = 0);
    void DrawTableHeader(const std::vector<int>& columns);
    void DrawSummaryRow(const std::vector<int>& columns, size_t number, const TReportLog& log);
    int WrappedHeight(const QString& text, const QFont& font, int width) const;
    int DrawWrapped(const QRect& box, const QString& text, const QFont& font);
    void DrawChart(const QImage& image, int scale, QPoint at);

    QPagedPaintDevice& Device_;
    QPainter& Painter_;
    bool PageStarted_ = false;
    bool Fresh_ = true;  // nothing drawn on the current page yet
    int Y_ = 0;
    int Width_;
    int Height_;
};

// The page material of one log, taken right after its load: the polar chart and the bar chart
// of every direction with data.
TLogPage CheckLogPage(const TBatchInput& input);
