#include "report/ReportPages.h"

#include <QFont>
#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

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
const std::vector<double> SummaryColumns{0.06, 0.50, 0.34, 0.10};

// The outcome, and for a log whose bytes an earlier one has, which one.
QString OutcomeWithDuplicate(const TReportLog& log) {
    if (log.DuplicateOf.isEmpty()) {
        return log.OutcomeText;
    }
    return QStringLiteral("%1 (%2)").arg(
        log.OutcomeText, QString::fromStdString(SameContentText(log.DuplicateOf.toStdString())));
}

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

// A line of text, wrapped onto further lines when it is longer than the page is wide.
int TReportPainter::TextLine(const QString& text, const QFont& font, int x) {
    const QRect box(x, 0, Width_ - x, Height_);
    const int height = WrappedHeight(text, font, box.width());
    Ensure(height);
    Painter_.setPen(Qt::black);
    DrawWrapped(box.translated(0, Y_), text, font);
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

namespace {

// Lines broken between words, and inside a word only where it is wider than the box: a
// verdict or a name is never cut.
QTextLayout& LaidOut(QTextLayout& layout, int width) {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return layout;
}

}  // namespace

int TReportPainter::WrappedHeight(const QString& text, const QFont& font, int width) const {
    QTextLayout layout(text, font, &Device_);
    return static_cast<int>(std::ceil(LaidOut(layout, width).boundingRect().height()));
}

// Returns the height the text took.
int TReportPainter::DrawWrapped(const QRect& box, const QString& text, const QFont& font) {
    QTextLayout layout(text, font, &Device_);
    LaidOut(layout, box.width());
    Painter_.setPen(Qt::black);
    layout.draw(&Painter_, box.topLeft());
    return static_cast<int>(std::ceil(layout.boundingRect().height()));
}

void TReportPainter::DrawSummary(const TSummaryHeader& header, const TBatchCounts& counts,
                                 const std::vector<TReportLog>& logs) {
    NewPage();
    TextLine(QStringLiteral("NORVA-G delivery report"), TextFont(18, true));
    Y_ += Mm(2);
    TextLine(QStringLiteral("Checked: %1 by %2").arg(header.When, header.CheckedBy), TextFont(10));
    TextLine(QStringLiteral("Logs of: %1").arg(header.Source), TextFont(10));
    if (!header.Coverage.isEmpty()) {
        TextLine(QStringLiteral("Covers: %1").arg(header.Coverage), TextFont(10));
    }
    if (!header.Order.isEmpty()) {
        TextLine(QStringLiteral("In order of: %1").arg(header.Order), TextFont(10));
    }
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
    Ensure(QFontMetrics(TextFont(8), &Device_).height() * 4);
    DrawTableHeader(columns);
    for (size_t i = 0; i < logs.size(); ++i) {
        DrawSummaryRow(columns, i + 1, logs[i]);
    }
}

// A row of the summary table: the name with the digest of its bytes below it, the outcome
// (wrapped, in its colour) and the version; as high as its longest cell.
void TReportPainter::DrawSummaryRow(const std::vector<int>& columns, size_t number,
                                    const TReportLog& log) {
    const QFont rowFont = TextFont(8);
    const QFont digestFont = FixedFont(5.5);
    const auto cellBox = [&](int c, int height) {
        return QRect(columns[c] + Mm(1), 0, columns[c + 1] - columns[c] - Mm(2), height);
    };
    const auto needed = [&](int c, const QString& text, const QFont& font) {
        return WrappedHeight(text, font, cellBox(c, Height_).width());
    };
    const QString outcome = OutcomeWithDuplicate(log);
    const QString digest = log.Sha256.empty() ? QString() : QString::fromStdString(log.Sha256);
    const int nameHeight =
        needed(1, log.Name, rowFont) + (digest.isEmpty() ? 0 : needed(1, digest, digestFont));
    const int height = std::max(nameHeight, needed(2, outcome, rowFont)) + Mm(1);
    if (Y_ + height > Height_) {
        NewPage();
        Fresh_ = false;
        DrawTableHeader(columns);
    }
    const int top = Y_ + Mm(0.5);
    Painter_.fillRect(QRect(columns[2], Y_, columns[3] - columns[2], height),
                      QColor(OutcomeColor(log.Outcome)));
    Painter_.setPen(Qt::black);
    DrawWrapped(cellBox(0, height).translated(0, top), QString::number(number), rowFont);
    const int nameTaken = DrawWrapped(cellBox(1, height).translated(0, top), log.Name, rowFont);
    if (!digest.isEmpty()) {
        DrawWrapped(cellBox(1, height).translated(0, top + nameTaken), digest, digestFont);
    }
    DrawWrapped(cellBox(2, height).translated(0, top), outcome, rowFont);
    if (log.SoftwareVersion) {
        DrawWrapped(cellBox(3, height).translated(0, top), QString::number(*log.SoftwareVersion),
                    rowFont);
    }
    Y_ += height;
    Painter_.setPen(QColor(192, 192, 192));
    Painter_.drawLine(0, Y_, Width_, Y_);
}

void TReportPainter::DrawChart(const QImage& image, int scale, QPoint at) {
    // Enlarged here by whole pixels without smoothing and placed on whole dots: no reader or
    // printer has to scale it (some smooth any image enlarged less than fourfold).
    Painter_.drawImage(
        at, image.scaled(image.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TReportPainter::DrawLogPage(const TLogPage& page, const TReportLog& log) {
    const TFileReport& r = page.Report;
    NewPage();
    const int polarSize = page.Polar.isNull() ? 0 : page.Polar.width() * PolarScale;
    const int textWidth = Width_ - polarSize - Mm(5);
    Painter_.setPen(Qt::black);
    Y_ = DrawWrapped(QRect(0, 0, textWidth, Height_), log.Name, TextFont(12, true)) + Mm(2);
    const QFont body = TextFont(10);
    const QString outcome = OutcomeWithDuplicate(log);
    const QRect outcomeText(Mm(1), Y_ + Mm(1), textWidth - Mm(2), Height_);
    const int outcomeHeight = WrappedHeight(outcome, body, outcomeText.width());
    Painter_.fillRect(QRect(0, Y_, textWidth, outcomeHeight + Mm(2)),
                      QColor(OutcomeColor(log.Outcome)));
    DrawWrapped(outcomeText, outcome, body);
    Y_ += outcomeHeight + Mm(3);
    if (!log.LikelyCause.isEmpty()) {
        Y_ += DrawWrapped(QRect(0, Y_, textWidth, Height_), log.LikelyCause, body) + Mm(1);
    }
    Y_ += Mm(1);
    if (!log.Sha256.empty()) {
        Y_ += DrawWrapped(QRect(0, Y_, textWidth, Height_),
                          QStringLiteral("SHA-256: %1").arg(QString::fromStdString(log.Sha256)),
                          FixedFont(7));
        Y_ += Mm(1);
    }
    // Only what was read from the file: a failed load, an empty file or one without a
    // software version has no header values to show.
    QStringList facts;
    if (log.HeaderRead) {
        facts << QStringLiteral("Software version: %1").arg(r.State.SoftwareVersion)
              << QStringLiteral("Offset: %1\u00b0   Angle: %2\u00b0")
                     .arg(r.State.Offset)
                     .arg(r.State.Angle)
              << QStringLiteral("Licence: %1").arg(Utf8(r.State.LicenseText));
    }
    for (const QString& fact : facts) {
        Y_ += DrawWrapped(QRect(0, Y_, textWidth, Height_), fact, body);
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
