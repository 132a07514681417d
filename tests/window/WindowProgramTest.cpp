// The program as started from a shell: command line and --screenshot.
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtMath>
#include <tuple>

#include "tests/window/WindowTestSupport.h"

namespace {

struct CommandLineCase {
    QList<QByteArray> Arguments;
    QByteArray StartFile;
    bool Screenshot;
    QByteArray ScreenshotPath;
    bool Error;
    bool Help = false;
    bool Version = false;
};

TEST(ViewerCommandLine, ReadsFileAndScreenshotOptions) {
    const CommandLineCase cases[] = {
        {{"NorvaViewer"}, "", false, "", false},
        {{"NorvaViewer", "a.ktz"}, "a.ktz", false, "", false},
        {{"NorvaViewer", "a.ktz", "b.ktz"}, "a.ktz", false, "", false},
        {{"NorvaViewer", "--screenshot", "out.png"}, "", true, "out.png", false},
        {{"NorvaViewer", "--screenshot", "out.png", "a.ktz", "b"}, "a.ktz", true, "out.png", false},
        {{"NorvaViewer", "a.ktz", "--screenshot=out.png"}, "a.ktz", true, "out.png", false},
        {{"NorvaViewer", "--screenshot"}, "", false, "", true},
        {{"NorvaViewer", "--no-such-option", "a.ktz"}, "", false, "", true},
        {{"NorvaViewer", "-x"}, "", false, "", true},
        // After -- a file may look like an option.
        {{"NorvaViewer", "--", "--screenshot"}, "--screenshot", false, "", false},
        {{"NorvaViewer", "--", "-x.ktz"}, "-x.ktz", false, "", false},
        // The name's own bytes, also where they are not valid UTF-8 (Latin-1 "Köln").
        {{"NorvaViewer", "K\xF6ln.ktz"}, "K\xF6ln.ktz", false, "", false},
        {{"NorvaViewer", "--screenshot=K\xF6ln.png"}, "", true, "K\xF6ln.png", false},
        // Qt's own options are QApplication's, not unknown ones; single-dash words as Qt has them.
        {{"NorvaViewer", "-platform", "offscreen", "-reverse", "a.ktz"}, "a.ktz", false, "", false},
        {{"NorvaViewer", "-style=Fusion", "-screenshot", "out.png"}, "", true, "out.png", false},
        {{"NorvaViewer", "--help"}, "", false, "", false, true},
        {{"NorvaViewer", "-h", "a.ktz"}, "", false, "", false, true},
        {{"NorvaViewer", "--version"}, "", false, "", false, false, true},
    };
    for (const CommandLineCase& c : cases) {
        const TViewerCommandLine parsed = ParseViewerCommandLine(c.Arguments);
        const std::string label = c.Arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.StartFile, c.StartFile) << label;
        EXPECT_EQ(parsed.Screenshot, c.Screenshot) << label;
        EXPECT_EQ(parsed.ScreenshotPath, c.ScreenshotPath) << label;
        EXPECT_EQ(!parsed.Error.isEmpty(), c.Error) << label;
        EXPECT_EQ(parsed.Help, c.Help) << label;
        EXPECT_EQ(parsed.Version, c.Version) << label;
    }
}

int RunViewer(const QStringList& arguments, const QString& scale = {}) {
    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!scale.isEmpty()) {
        environment.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    }
    viewer.setProcessEnvironment(environment);
    viewer.start(QStringLiteral(NORVA_VIEWER_EXE), arguments);
    if (!viewer.waitForFinished(30000) || viewer.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return viewer.exitCode();
}

TEST(ViewerProgram, ScreenshotShowsTheLoadedWindow) {
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("window.png"));
    ASSERT_EQ(RunViewer({"--screenshot", shot, SamplePath("demo-gsmr.ktz")}), 0);
    const QImage image(shot);
    ASSERT_EQ(image.size(), QSize(695, 505));
    // Inside the text box below the last line: the colour of a good signature.
    EXPECT_EQ(image.pixelColor(500, 330), QColor(208, 255, 208));
    // The polar chart's centre line is drawn, so the chart is not blank.
    EXPECT_NE(image.pixelColor(8 + 81, 17 + 81), QColor(240, 240, 240));
    // The samples folder shows its first log, demo-gsmr.ktz, however fast the list is checked.
    const QString folderShot = dir.filePath(QStringLiteral("folder.png"));
    for (int run = 0; run < 3; ++run) {
        ASSERT_EQ(RunViewer({"--screenshot", folderShot, QStringLiteral(NORVA_SAMPLES)}), 0);
        const QImage folder(folderShot);
        EXPECT_EQ(folder.pixelColor(500, 330), QColor(208, 255, 208)) << run;
        EXPECT_EQ(folder.copy(8, 17, 163, 163), image.copy(8, 17, 163, 163)) << run;
    }
}

TEST(ViewerProgram, ChartsStaySharpOnScaledScreens) {
    QTemporaryDir dir;
    const auto chartOf = [&dir](const QString& scale) {
        const QString shot = dir.filePath(QStringLiteral("scaled-%1.png").arg(scale));
        EXPECT_EQ(RunViewer({"--screenshot", shot, SamplePath("demo-gsmr.ktz")}, scale), 0);
        const QImage image = QImage(shot).convertToFormat(QImage::Format_RGB32);
        // The polar chart's paint box, in device pixels, less a rim where its edge may fall
        // between two of them.
        const double factor = scale.toDouble();
        return image.copy(QRect(QPoint(qCeil(9 * factor), qCeil(18 * factor)),
                                QPoint(qFloor(168 * factor), qFloor(177 * factor))));
    };
    const QImage plain = chartOf(QStringLiteral("1"));
    QSet<QRgb> drawn;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            drawn.insert(plain.pixel(x, y));
        }
    }
    ASSERT_GT(drawn.size(), 3);
    for (const char* scale : {"1.25", "1.5", "2"}) {
        const QImage scaled = chartOf(QString::fromLatin1(scale));
        ASSERT_GT(scaled.width(), plain.width()) << scale;
        int blended = 0;
        for (int y = 0; y < scaled.height(); ++y) {
            for (int x = 0; x < scaled.width(); ++x) {
                blended += drawn.contains(scaled.pixel(x, y)) ? 0 : 1;
            }
        }
        EXPECT_EQ(blended, 0) << scale;
    }
    // At twice the size every chart pixel is a square of four (the rim taken off is even).
    const QImage doubled = chartOf(QStringLiteral("2"));
    int ragged = 0;
    for (int y = 0; y + 1 < doubled.height(); y += 2) {
        for (int x = 0; x + 1 < doubled.width(); x += 2) {
            const QRgb corner = doubled.pixel(x, y);
            ragged += doubled.pixel(x + 1, y) != corner || doubled.pixel(x, y + 1) != corner ||
                              doubled.pixel(x + 1, y + 1) != corner
                          ? 1
                          : 0;
        }
    }
    EXPECT_EQ(ragged, 0);
}

TEST(ViewerProgram, UsageErrorsGoToStandardErrorAndHelpToStandardOutput) {
    QProcess viewer;
    // No display at all: these answers must come before QApplication would need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    viewer.setProcessEnvironment(environment);
    const auto run = [&viewer](const QStringList& arguments) {
        viewer.start(QStringLiteral(NORVA_VIEWER_EXE), arguments);
        viewer.waitForFinished(30000);
        return std::tuple(viewer.exitCode(), viewer.readAllStandardOutput(),
                          viewer.readAllStandardError());
    };
    const auto [unknownStatus, unknownOut, unknownError] = run({"--frobnicate"});
    EXPECT_EQ(unknownStatus, 64);
    EXPECT_TRUE(unknownOut.isEmpty());
    EXPECT_TRUE(unknownError.contains("frobnicate")) << unknownError.toStdString();
    const auto [helpStatus, helpOut, helpError] = run({"--help"});
    EXPECT_EQ(helpStatus, 0);
    EXPECT_TRUE(helpOut.contains("--screenshot")) << helpOut.toStdString();
    EXPECT_TRUE(helpError.isEmpty()) << helpError.toStdString();
    const auto [versionStatus, versionOut, versionError] = run({"--version"});
    EXPECT_EQ(versionStatus, 0);
    EXPECT_EQ(versionOut, "NorvaViewer 1.0.0.0\n");
}

TEST(ViewerProgram, ScreenshotExitStatusTellsWhatWentWrong) {
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("window.png"));
    // A missing start file is ignored silently, as in the window.
    // Qt's own options still reach QApplication.
    EXPECT_EQ(RunViewer({"-style", "Fusion", "--screenshot", shot, SamplePath("no-such-file.ktz")}),
              0);
    const QString overflow = dir.filePath(QStringLiteral("overflow.ktz"));
    QFile file(overflow);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("SWVERSION: NG-FW 795\r\nOFFSET: 2147483600\r\nANGLE: 45\r\n");
    file.close();
    EXPECT_EQ(RunViewer({"--screenshot", shot, overflow}), 1);
    EXPECT_TRUE(QFile::exists(shot));
    EXPECT_EQ(RunViewer({"--screenshot"}), 64);
    EXPECT_EQ(RunViewer({"--screenshot", dir.filePath("no/such/folder/x.png")}), 1);
}

}  // namespace
