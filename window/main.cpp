#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "window/NorvaViewerUnit.h"

namespace {

constexpr int ExitUsage = 64;

const char* const UsageText =
    "Usage: NorvaViewer [FILE | FOLDER]\n"
    "       NorvaViewer --screenshot OUT.png [FILE]\n"
    "Opens the NORVA-G measurement log FILE (.ktz), or the list of the logs in FOLDER.\n"
    "With --screenshot, loads FILE, saves the window's image to OUT.png and exits.\n";

void PrintError(const QString& message) {
    std::fprintf(stderr, "NorvaViewer: %s\n", message.toLocal8Bit().constData());
}

// Loads as at start-up, lets the window paint and saves what it shows. Errors go to
// the standard error stream instead of a message box nobody could close.
int SaveScreenshot(TfmNorvaViewer& window, const QString& path) {
    bool failed = false;
    window.ShowError = [&failed](const QString& message) {
        failed = true;
        PrintError(message);
    };
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(path, "PNG")) {
        PrintError(QStringLiteral("cannot write %1").arg(path));
        return 1;
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NorvaViewer"));
    QApplication::setApplicationDisplayName(QStringLiteral("NORVA-G Viewer"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.norva.NorvaViewer"));

    const TViewerCommandLine commandLine = ParseViewerCommandLine(QApplication::arguments());
    if (commandLine.Help) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (!commandLine.Error.isEmpty()) {
        PrintError(commandLine.Error);
        std::fputs(UsageText, stderr);
        return ExitUsage;
    }

    TfmNorvaViewer window(commandLine.StartFile);
    if (commandLine.Screenshot) {
        return SaveScreenshot(window, commandLine.ScreenshotPath);
    }
    window.show();
    return QApplication::exec();
}
