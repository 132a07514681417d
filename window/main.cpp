#include <QApplication>
#include <QBackingStore>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QWindow>
#include <cstdio>

#include "drawing/ImageFile.h"
#include "window/LogListModel.h"
#include "window/LogListWindow.h"
#include "window/NorvaViewerUnit.h"
#include "window/ViewerCommandLine.h"
#include "window/WindowAccessibility.h"
#include "window/WindowTextView.h"

namespace {

constexpr int ExitUsage = 64;

void PrintError(const QString& message) {
    std::fprintf(stderr, "NorvaViewer: %s\n", message.toLocal8Bit().constData());
}

// What the window shows: the image it was painted into, once the window system has had it
// painted, instead of painting every control a second time; otherwise a painting of its own.
QImage ShownImage(QWidget& window) {
    const QWindow* handle = window.windowHandle();
    QBackingStore* store = window.backingStore();
    if (handle != nullptr && handle->isExposed() && store != nullptr) {
        QPaintDevice* device = store->paintDevice();
        if (device != nullptr && device->devType() == QInternal::Image) {
            // Shared, not copied: nothing paints the window before the image is saved. The
            // window is opaque: an alpha channel of its store (X11) holds nothing.
            const QImage& painted = *static_cast<const QImage*>(device);
            if (painted.deviceIndependentSize().toSize() == window.size()) {
                return painted.hasAlphaChannel() ? painted.convertToFormat(QImage::Format_RGB32)
                                                 : painted;
            }
        }
    }
    return window.grab().toImage();
}

// Loads as at start-up, lets the window paint and saves what it shows. Errors go to
// the standard error stream instead of a message box nobody could close.
int SaveScreenshot(TfmNorvaViewer& window, const QString& path) {
    bool failed = false;
    window.ShowError = [&failed](const QString& message, const QString& reason) {
        failed = true;
        PrintError(reason.isEmpty() ? message : message + QStringLiteral(": ") + reason);
    };
    window.show();
    while (!window.StartHandled()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    // A folder, opened as the window shows, shows its first log once it is listed: waiting
    // for the whole list makes the image the same however fast the checks ran. The image is
    // of the main window alone.
    if (TLogListWindow* list = window.LogList(); list != nullptr) {
        if (!list->Model().Done()) {
            QEventLoop checks;
            QObject::connect(&list->Model(), &TLogListModel::Finished, &checks, &QEventLoop::quit);
            if (!list->Model().Done()) {
                checks.exec();
            }
        }
        list->hide();
    }
    // A large log's lines are found in the background: the image shows them, not the progress.
    if (const auto* box = window.findChild<TLazyTextView*>(QStringLiteral("mmFileContent"))) {
        while (box->Busy()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
    }
    QApplication::processEvents();
    if (!SavePng(ShownImage(window), path)) {
        PrintError(QStringLiteral("cannot write %1").arg(path));
        return 1;
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before QApplication connects to a display: help, version and usage errors work
    // without one. The arguments are bytes: a file name need not be valid in the locale.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QByteArray(argv[i]));
    }
    const TViewerCommandLine commandLine = ParseViewerCommandLine(arguments);
    if (commandLine.Help) {
        std::fputs(ViewerHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (commandLine.Version) {
        std::printf("NorvaViewer %s\n", ViewerVersion);
        return 0;
    }
    if (!commandLine.Error.isEmpty()) {
        PrintError(commandLine.Error);
        std::fputs("Try 'NorvaViewer --help' for more information.\n", stderr);
        return ExitUsage;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("NorvaViewer"));
    QApplication::setApplicationDisplayName(QStringLiteral("NORVA-G Viewer"));
    QApplication::setApplicationVersion(QString::fromLatin1(ViewerVersion));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.norva.NorvaViewer"));

    // Before the first window: an object's accessible interface is made once, when first asked.
    InstallWindowAccessibility();
    TfmNorvaViewer window(commandLine.StartFile.toStdString());
    if (commandLine.Screenshot) {
        return SaveScreenshot(window, QFile::decodeName(commandLine.ScreenshotPath));
    }
    window.show();
    return QApplication::exec();
}
