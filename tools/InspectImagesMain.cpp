// norva-inspect-images: norva-inspect with its pictures, the chart images and the delivery
// report. Started by norva-inspect with the user's command line, never by hand.
#include <QCoreApplication>
#include <QGuiApplication>
#include <iostream>
#include <memory>
#include <string_view>

#include "drawing/BandImages.h"
#include "drawing/ChartImage.h"
#include "drawing/ImageFile.h"
#include "tools/InspectImages.h"

namespace {

bool SaveChartPng(const TChartCanvas& chart, const QString& path) {
    if (SavePng(ChartImage(chart), path)) {
        return true;
    }
    std::cerr << "norva-inspect: cannot write " << path.toStdString() << '\n';
    return false;
}

// The report draws text, which needs the font database of a GUI application; without a
// display it draws off screen.
bool WantsReport(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") {
            break;
        }
        if (argument == "--report" || argument.starts_with("--report=")) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> application;
    if (WantsReport(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    try {
        // Shared by every chart: loaded before any worker starts, no two threads race for them.
        LoadBandImages();
    } catch (const std::exception& e) {
        std::cerr << "norva-inspect: " << e.what() << '\n';
        return 3;
    }
    const TInspectImages images{SaveChartPng, CheckAndWriteDeliveryReport};
    return RunInspect(argc, argv, &images);
}
