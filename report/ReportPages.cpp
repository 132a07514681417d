#include "report/ReportPages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include "app/CellCsv.h"
#include "app/LogLoader.h"
#include "batch/HeadlessView.h"
#include "drawing/ChartImage.h"

namespace {

constexpr double DotsPerMm = ReportDotsPerInch / 25.4;

int Mm(double mm) {
    return static_cast<int>(mm * DotsPerMm + 0.5);
}

QFont TextFont(double points, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont FixedFont(double points) {
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(points);
    return font;
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Columns of the summary table, as fractions of the width: number, file, verdict, version.
const std::vector<double> SummaryColumns{0.07, 0.50, 0.33, 0.10};

}  // namespace

TReportPainter::TReportPainter(QPagedPaintDevice& device, QPainter& painter)
    : Device_(device), Painter_(painter), Width_(device.width()), Height_(device.height()) {}

void TReportPainter::NewPage() {
    if (PageStarted_) {
        Device_.newPage();
    }
    PageStarted_ = true;
    Fresh_ = true;
    Y_ = 0;
}

void TReportPainter::Ensure(int height) {
    if (!PageStarted_ || (!Fresh_ && Y_ + height > Height_)) {
        NewPage();
    }
    Fresh_ = false;
}

int TReportPainter::TextLine(const QString& text, const QFont& font, int x) {
    Painter_.setFont(font);
    const QFontMetrics metrics(font, &Device_);
    const int height = metrics.height();
    Ensure(height);
    Painter_.setPen(Qt::black);
    Painter_.drawText(QRect(x, Y_, Width_ - x, height), Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(text, Qt::ElideMiddle, Width_ - x));
    Y_ += height;
    return height;
}

void TReportPainter::DrawTableHeader(const std::vector<int>& columns) {
    const QFont bold = TextFont(9, true);
    const QFontMetrics metrics(bold, &Device_);
    const int height = metrics.height() + Mm(1);
    Painter_.setFont(bold);
    Painter_.setPen(Qt::black);
    const QStringList titles{QStringLiteral("#"), QStringLiteral("File"), QStringLiteral("Verdict"),
                             QStringLiteral("Version")};
    for (int c = 0; c < 4; ++c) {
        Painter_.drawText(
            QRect(columns[c] + Mm(1), Y_, columns[c + 1] - columns[c] - Mm(2), height),
            Qt::AlignLeft | Qt::AlignVCenter, titles[c]);
    }
    Y_ += height;
    Painter_.drawLine(0, Y_, Width_, Y_);
}

void TReportPainter::DrawSummary(const TSummaryHeader& header, const TBatchCounts& counts,
                                 const std::vector<TSummaryEntry>& entries) {
    NewPage();
    TextLine(QStringLiteral("NORVA-G delivery report"), TextFont(18, true));
    Y_ += Mm(2);
    TextLine(QStringLiteral("Checked: %1 by %2").arg(header.When, header.CheckedBy), TextFont(10));
    TextLine(QStringLiteral("Logs of: %1").arg(header.Source), TextFont(10));
    Y_ += Mm(3);
    const std::array<std::pair<TCheckOutcome, size_t>, 5> tally{
        {{TCheckOutcome::Ok, counts.Ok},
         {TCheckOutcome::NotValid, counts.NotValid},
         {TCheckOutcome::NotInterpretable, counts.NotInterpretable},
         {TCheckOutcome::NotChecked, counts.NotChecked},
         {TCheckOutcome::Error, counts.Errors}}};
    TextLine(QStringLiteral("%1 logs").arg(counts.Files), TextFont(12, true));
    const QFont countFont = TextFont(10);
    const int swatch = QFontMetrics(countFont, &Device_).height();
    for (const auto& [outcome, count] : tally) {
        Ensure(swatch);
        Painter_.fillRect(QRect(0, Y_ + swatch / 6, swatch * 2, swatch * 2 / 3),
                          QColor(OutcomeColor(outcome)));
        Painter_.setPen(Qt::black);
        Painter_.drawRect(QRect(0, Y_ + swatch / 6, swatch * 2, swatch * 2 / 3));
        Fresh_ = true;  // the swatch and its line are one block
        TextLine(QStringLiteral("%1 %2").arg(count).arg(OutcomeName(outcome)), countFont,
                 swatch * 3);
    }
    Y_ += Mm(5);

    std::vector<int> columns{0};
    for (const double fraction : SummaryColumns) {
        columns.push_back(columns.back() + static_cast<int>(fraction * Width_));
    }
    columns.back() = Width_;
    const QFont rowFont = TextFont(8);
    const QFontMetrics metrics(rowFont, &Device_);
    const int rowHeight = metrics.height() + Mm(1);
    Ensure(rowHeight * 3);
    DrawTableHeader(columns);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (Y_ + rowHeight > Height_) {
            NewPage();
            Fresh_ = false;
            DrawTableHeader(columns);
        }
        const TSummaryEntry& entry = entries[i];
        Painter_.fillRect(QRect(columns[2], Y_, columns[3] - columns[2], rowHeight),
                          QColor(OutcomeColor(entry.Outcome)));
        Painter_.setFont(rowFont);
        Painter_.setPen(Qt::black);
        const QStringList cells{
            QString::number(i + 1), entry.Name, entry.OutcomeText,
            entry.SoftwareVersion ? QString::number(*entry.SoftwareVersion) : QString()};
        for (int c = 0; c < 4; ++c) {
            const int width = columns[c + 1] - columns[c] - Mm(2);
            Painter_.drawText(QRect(columns[c] + Mm(1), Y_, width, rowHeight),
                              Qt::AlignLeft | Qt::AlignVCenter,
                              metrics.elidedText(cells[c], Qt::ElideMiddle, width));
        }
        Y_ += rowHeight;
        Painter_.setPen(QColor(192, 192, 192));
        Painter_.drawLine(0, Y_, Width_, Y_);
    }
}

void TReportPainter::DrawChart(const QImage& image, int scale, QPoint at) {
    // Enlarged here by whole pixels without smoothing and placed on whole dots: no reader or
    // printer has to scale it (some smooth any image enlarged less than fourfold).
    Painter_.drawImage(
        at, image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TReportPainter::DrawLogPage(const TLogPage& page) {
    const TFileReport& r = page.Report;
    const TCheckOutcome outcome = OutcomeOf(r);
    NewPage();
    const int polarSize = page.Polar.isNull() ? 0 : page.Polar.width() * PolarScale;
    const int textWidth = Width_ - polarSize - Mm(5);
    const QFont title = TextFont(12, true);
    Painter_.setFont(title);
    Painter_.setPen(Qt::black);
    const QRect titleBox(0, 0, textWidth, Mm(14));
    Painter_.drawText(
        titleBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere,
        QFontMetrics(title, &Device_).elidedText(Utf8(r.File), Qt::ElideMiddle, textWidth * 2));
    Y_ = Mm(15);
    const QFont body = TextFont(10);
    const int lineHeight = QFontMetrics(body, &Device_).height();
    const QRect verdictBox(0, Y_, textWidth, lineHeight + Mm(2));
    Painter_.fillRect(verdictBox, QColor(OutcomeColor(outcome)));
    Painter_.setFont(body);
    Painter_.drawText(verdictBox.adjusted(Mm(1), 0, -Mm(1), 0), Qt::AlignLeft | Qt::AlignVCenter,
                      Utf8(OutcomeText(r)));
    Y_ += verdictBox.height() + Mm(2);
    const QStringList facts{
        QStringLiteral("Software version: %1").arg(r.State.SoftwareVersion),
        QStringLiteral("Offset: %1\u00b0   Angle: %2\u00b0").arg(r.State.Offset).arg(r.State.Angle),
        QStringLiteral("Licence: %1").arg(Utf8(r.State.LicenseText)),
    };
    for (const QString& fact : facts) {
        Painter_.drawText(QRect(0, Y_, textWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(body, &Device_).elidedText(fact, Qt::ElideRight, textWidth));
        Y_ += lineHeight;
    }
    Fresh_ = false;
    if (!page.Polar.isNull()) {
        DrawChart(page.Polar, PolarScale, QPoint(Width_ - polarSize, 0));
        Y_ = std::max(Y_, polarSize);
    }
    Y_ += Mm(2);

    const QFont cells = FixedFont(6.5);
    const QFontMetrics cellMetrics(cells, &Device_);
    for (const TDirectionReport& d : r.Directions) {
        const QImage& bars = page.Bars[static_cast<size_t>(d.Index)];
        if (!d.HasData || bars.isNull()) {
            continue;
        }
        const int barsHeight = bars.height() * BarsScale;
        const QFont headingFont = TextFont(9, true);
        const int headingHeight = QFontMetrics(headingFont, &Device_).height();
        QStringList lines{QStringLiteral(" CHN RLEV PLMN   LAI   CID  C1  C2 B D"),
                          Utf8(d.CurrentCell)};
        for (const std::string& line : d.Neighbors) {
            lines << Utf8(line);
        }
        const int textHeight =
            headingHeight + cellMetrics.height() * static_cast<int>(lines.size());
        const int blockHeight = std::max(barsHeight, textHeight);
        Ensure(blockHeight);
        // The chart on the left, its heading and cell lines beside it.
        DrawChart(bars, BarsScale, QPoint(0, Y_));
        const int textLeft = bars.width() * BarsScale + Mm(4);
        QString levels;
        for (const int32_t level : d.Levels) {
            levels +=
                level == NoValue ? QStringLiteral(" \u2013") : QStringLiteral(" -%1").arg(level);
        }
        Painter_.setFont(headingFont);
        Painter_.setPen(Qt::black);
        Painter_.drawText(QRect(textLeft, Y_, Width_ - textLeft, headingHeight),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          QStringLiteral("Direction %1   %2   levels%3 dBm")
                              .arg(d.Index)
                              .arg(Utf8(IsoTimeText(d.Time)).replace('T', ' '), levels));
        int lineY = Y_ + headingHeight;
        Painter_.setFont(cells);
        for (const QString& line : lines) {
            Painter_.drawText(QRect(textLeft, lineY, Width_ - textLeft, cellMetrics.height()),
                              Qt::AlignLeft | Qt::AlignVCenter, line);
            lineY += cellMetrics.height();
        }
        Y_ += blockHeight + Mm(1);
    }
}

TLogPage CheckLogPage(const TBatchInput& input) {
    TLogPage page;
    page.Report =
        CheckLogFile(input, [&page](TLogLoader& loader, THeadlessView&, const TFileReport& report) {
            if (!report.State.DataLoaded) {
                return;
            }
            page.Polar = ChartImage(loader.PolarChart());
            for (const TDirectionReport& d : report.Directions) {
                if (d.HasData) {
                    loader.rbXClick(d.Index);
                    page.Bars[static_cast<size_t>(d.Index)] = ChartImage(loader.NeighborChart());
                }
            }
        });
    return page;
}
