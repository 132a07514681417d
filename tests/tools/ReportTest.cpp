// The PDF report of norva-inspect --report, rendered to images with pdftoppm as a reader
// would see it printed: its pages, the verdict colours and the charts pixel for pixel.
#include <gtest/gtest.h>

#include "tests/tools/InspectRun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <optional>

namespace {

// The pages of a PDF (all, or page `only`), at `dpi` dots per inch.
QList<QImage> RenderPages(const QString& pdf, const QString& dir, int dpi, int only = 0) {
    QDir(dir).mkpath(QString::number(dpi));
    const QString into = dir + "/" + QString::number(dpi);
    QProcess render;
    QStringList arguments{"-r", QString::number(dpi), "-png", pdf, into + "/page"};
    if (only > 0) {
        arguments =
            QStringList{"-f", QString::number(only), "-l", QString::number(only)} + arguments;
    }
    render.start("pdftoppm", arguments);
    EXPECT_TRUE(render.waitForFinished(120000)) << "pdftoppm (poppler-utils) must be installed";
    EXPECT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    QList<QImage> pages;
    for (const QString& name : QDir(into).entryList({"page*.png"}, QDir::Files, QDir::Name)) {
        pages << QImage(into + "/" + name).convertToFormat(QImage::Format_RGB32);
    }
    return pages;
}

// The text of page `page` of a PDF, its white space made single blanks.
QString PdfText(const QString& pdf, int page) {
    QProcess process;
    process.start("pdftotext",
                  {"-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    EXPECT_TRUE(process.waitForFinished(60000)) << "pdftotext (poppler-utils) must be installed";
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

QSet<QRgb> Colours(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(line[x] & 0xffffff);
        }
    }
    return colours;
}

// Whether `chart`, enlarged `scale` times, stands on `page` at `at`: the middle dot of every
// enlarged pixel has the chart pixel's colour (the dots at a pixel's edge may be shared with
// its neighbour when a renderer places the page half a dot off).
bool ChartAt(const QImage& page, const QImage& chart, int scale, QPoint at, int rows) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < chart.width(); ++x) {
            const QPoint dot = at + QPoint(x * scale + scale / 2, y * scale + scale / 2);
            if (!page.rect().contains(dot) || page.pixel(dot) != chart.pixel(x, y)) {
                return false;
            }
        }
    }
    return true;
}

// Where the chart stands within `area` of the page, if anywhere.
std::optional<QPoint> FindChart(const QImage& page, const QImage& chart, int scale, QRect area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (ChartAt(page, chart, scale, {x, y}, 1) &&
                ChartAt(page, chart, scale, {x, y}, chart.height())) {
                return QPoint(x, y);
            }
        }
    }
    return std::nullopt;
}

TEST(ReportTest, SummaryThenAPagePerLogWithVerdictColoursAndSharpCharts) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath("delivery.pdf");
    // Every outcome, each but two with a count of its own.
    const TRun run = Inspect({"--report", pdf, ".", "tampered.ktz", "tampered.ktz", "missing-1.ktz",
                              "missing-2.ktz", "missing-3.ktz", "missing-4.ktz"},
                             NORVA_SAMPLES);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out,
              "11 files: 2 OK, 3 NOT VALID, 1 could not be interpreted, 1 not checked, "
              "4 errors\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"delivery.pdf"});
    EXPECT_TRUE(
        PdfText(pdf, 1).contains("11 logs 2 OK 3 NOT VALID 1 not interpretable "
                                 "1 not checked 4 failed to load"));
    const QList<QImage> pages = RenderPages(pdf, dir.path(), 36);
    ASSERT_EQ(pages.size(), 12);  // the summary, then one page per log

    const QRgb ok = qRgb(208, 255, 208);
    const QRgb notValid = qRgb(255, 208, 208);
    const QRgb notInterpretable = qRgb(255, 255, 208);
    const QRgb notChecked = qRgb(224, 224, 224);
    const QRgb failed = qRgb(255, 200, 140);
    const QRgb outcomes[] = {ok, notValid, notInterpretable, notChecked, failed};
    const QSet<QRgb> summary = Colours(pages[0]);
    for (const QRgb verdict : outcomes) {
        EXPECT_TRUE(summary.contains(verdict & 0xffffff)) << std::hex << verdict;
    }
    // Each log's outcome box, at the top left of its page above the charts, in the colour of
    // its outcome and in no other.
    const QRgb pageColours[] = {ok,       notChecked, ok,     notValid, notInterpretable,
                                notValid, notValid,   failed, failed,   failed,
                                failed};
    for (int page = 1; page < pages.size(); ++page) {
        const QImage& image = pages[page];
        const QSet<QRgb> colours = Colours(image.copy(0, 0, image.width() / 2, image.height() / 6));
        const QRgb expected = pageColours[page - 1];
        EXPECT_TRUE(colours.contains(expected & 0xffffff)) << "page " << page;
        for (const QRgb verdict : {ok, notValid, notInterpretable, failed}) {
            // Not the grey of "not checked": the edges of smoothed black text take it too.
            EXPECT_TRUE(verdict == expected || !colours.contains(verdict & 0xffffff))
                << "page " << page << std::hex << " colour " << verdict;
        }
    }

    // The demo log's polar chart and the bar chart of its direction 0, as the window draws
    // them, each chart pixel a sharp block of 3 x 3 and 2 x 2 dots: a smoothed enlargement
    // blends the colours of neighbouring pixels into the blocks.
    const TRun charts = Inspect(
        {"--polar", dir.filePath("polar.png"), "--bars", dir.filePath("bars.png"), "demo-gsmr.ktz"},
        NORVA_SAMPLES);
    ASSERT_EQ(charts.status, 0);
    const QImage polar = QImage(dir.filePath("polar.png")).convertToFormat(QImage::Format_RGB32);
    const QImage bars = QImage(dir.filePath("bars.png")).convertToFormat(QImage::Format_RGB32);
    // At the report's own resolution, where a PDF point is four dots.
    const QImage demo = RenderPages(pdf, dir.path(), 288, 2).value(0);
    const int margin = 144;  // half an inch
    const QPoint polarCorner(demo.width() - margin - polar.width() * 3, margin);
    EXPECT_TRUE(FindChart(demo, polar, 3, QRect(polarCorner - QPoint(2, 2), QSize(5, 5))))
        << "the polar chart is not on the page, three dots a pixel";
    // Below the polar chart, at the left margin.
    const bool barsFound =
        FindChart(demo, bars, 2,
                  QRect(margin - 1, margin + polar.height() * 3, 3, demo.height() / 3))
            .has_value();
    EXPECT_TRUE(barsFound) << "the bar chart of direction 0 is not on the page, two dots a pixel";
}

TEST(ReportTest, AnInterruptedReportLeavesNothingBehind) {
    constexpr int logCount = 200;
    QTemporaryDir logs;
    for (int i = 0; i < logCount; ++i) {
        ASSERT_TRUE(QFile::copy(Data("demo-gsmr.ktz"), logs.filePath(QString("%1.ktz").arg(i))));
    }
    QTemporaryDir out;
    QProcess process;
    process.setReadChannel(QProcess::StandardError);
    process.start(NORVA_INSPECT,
                  {"--report", out.filePath("big.pdf"), "--progress", "-j", "1", logs.path()});
    ASSERT_TRUE(process.waitForStarted());
    // Once the pages are being written (the progress counts both passes over the logs).
    int done = 0;
    while (done <= logCount && process.state() == QProcess::Running) {
        process.waitForReadyRead(1000);
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (line.startsWith("checked ")) {
                done = line.mid(8).split('/').first().trimmed().toInt();
            }
        }
    }
    ASSERT_GT(done, logCount) << "the report ended before its pages were written";
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    const TRun unwritable =
        Inspect({"--report", out.filePath("no/such/folder.pdf"), "."}, NORVA_SAMPLES);
    EXPECT_EQ(unwritable.status, 3);
    EXPECT_TRUE(unwritable.err.contains("could not be written")) << unwritable.err.toStdString();
}

}  // namespace
