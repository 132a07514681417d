// The program as started from a shell: command line and --screenshot.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/window/WindowTestSupport.h"

namespace {

struct CommandLineCase {
    QStringList Arguments;
    QString StartFile;
    bool Screenshot;
    QString ScreenshotPath;
    bool Error;
};

TEST(ViewerCommandLine, ReadsFileAndScreenshotOptions) {
    const CommandLineCase cases[] = {
        {{"NorvaViewer"}, "", false, "", false},
        {{"NorvaViewer", "a.ktz"}, "a.ktz", false, "", false},
        {{"NorvaViewer", "a.ktz", "b.ktz"}, "a.ktz", false, "", false},
        {{"NorvaViewer", "--screenshot", "out.png"}, "", true, "out.png", false},
        {{"NorvaViewer", "--screenshot", "out.png", "a.ktz", "b"}, "a.ktz", true, "out.png", false},
        {{"NorvaViewer", "--screenshot"}, "", false, "", true},
    };
    for (const CommandLineCase& c : cases) {
        const TViewerCommandLine parsed = ParseViewerCommandLine(c.Arguments);
        const std::string label = c.Arguments.join(' ').toStdString();
        EXPECT_EQ(parsed.StartFile, c.StartFile) << label;
        EXPECT_EQ(parsed.Screenshot, c.Screenshot) << label;
        EXPECT_EQ(parsed.ScreenshotPath, c.ScreenshotPath) << label;
        EXPECT_EQ(!parsed.Error.isEmpty(), c.Error) << label;
    }
}

int RunViewer(const QStringList& arguments) {
    QProcess viewer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
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
}

TEST(ViewerProgram, ScreenshotExitStatusTellsWhatWentWrong) {
    QTemporaryDir dir;
    const QString shot = dir.filePath(QStringLiteral("window.png"));
    // A missing start file is ignored silently, as in the window.
    EXPECT_EQ(RunViewer({"--screenshot", shot, SamplePath("no-such-file.ktz")}), 0);
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
