// norva-thumbnailer: a log's thumbnail for file managers, which run it through its thumbnailer
// entry with a size, the log and the PNG to write.
//
// File managers run thumbnailers without a display, often in a sandbox that sees only the
// system folders, the one input file and the output's folder, with the environment cleared.
// So there is no application object here (no platform plugin, no display connection) and
// nothing is drawn as text (no font lookup): images and painters on images need neither.

#include <QFile>
#include <QImage>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/LogLoader.h"
#include "app/LogState.h"
#include "batch/HeadlessView.h"
#include "batch/LogCheck.h"
#include "charts/PolarChart.h"
#include "drawing/ChartImage.h"
#include "drawing/ImageFile.h"
#include "drawing/Thumbnail.h"

namespace {

constexpr int ExitNoThumbnail = 1;
constexpr int ExitUsage = 64;
constexpr int MinimumSize = 16;
constexpr int MaximumSize = 4096;

const char* const HelpText =
    "Usage: norva-thumbnailer -s SIZE INPUT OUTPUT\n"
    "\n"
    "Writes the thumbnail of the NORVA-G measurement log INPUT to OUTPUT: a PNG of SIZE x SIZE\n"
    "pixels (16 to 4096) with the log's polar chart on white and a mark for its verdict in the\n"
    "bottom-right corner. File managers run it through its thumbnailer entry.\n"
    "\n"
    "  -s, --size SIZE  the side of the thumbnail in pixels\n"
    "  -h, --help       show this help\n"
    "      --version    show the version\n"
    "\n"
    "Exit status: 0 thumbnail written; 1 INPUT is not a log that can be read, or OUTPUT cannot\n"
    "be written (no OUTPUT is left behind); 64 usage error.\n";

class EUsage : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct TArguments {
    int Size = 0;
    std::filesystem::path Input;
    std::string Output;  // the file system's bytes
};

int ParseSize(std::string_view text) {
    int size = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || size > MaximumSize) {
            size = 0;
            break;
        }
        size = size * 10 + (c - '0');
    }
    if (size < MinimumSize || size > MaximumSize) {
        throw EUsage("-s takes a size in pixels from " + std::to_string(MinimumSize) + " to " +
                     std::to_string(MaximumSize));
    }
    return size;
}

// Nothing when the command line asked for the help or the version, which are then printed.
std::optional<TArguments> ParseArguments(int argc, char** argv) {
    TArguments arguments;
    std::vector<std::string> positionals;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const auto value = [&]() -> std::string_view {
            if (++i >= argc) {
                throw EUsage(std::string(argument) + " needs a value");
            }
            return argv[i];
        };
        if (!options || argument == "-" || !argument.starts_with('-')) {
            positionals.emplace_back(argument);
        } else if (argument == "--") {
            options = false;
        } else if (argument == "-h" || argument == "--help") {
            std::cout << HelpText;
            return std::nullopt;
        } else if (argument == "--version") {
            std::cout << "norva-thumbnailer " NORVA_VERSION "\n";
            return std::nullopt;
        } else if (argument == "-s" || argument == "--size") {
            arguments.Size = ParseSize(value());
        } else if (argument.starts_with("--size=")) {
            arguments.Size = ParseSize(argument.substr(7));
        } else if (argument.starts_with("-s")) {
            arguments.Size = ParseSize(argument.substr(2));
        } else {
            throw EUsage("unknown option " + std::string(argument));
        }
    }
    if (arguments.Size == 0) {
        throw EUsage("no size given (-s SIZE)");
    }
    if (positionals.size() != 2) {
        throw EUsage("takes one INPUT and one OUTPUT");
    }
    // A file named "-" is a file here, not standard input.
    arguments.Input = positionals[0] == "-" ? "./-" : positionals[0];
    arguments.Output = positionals[1];
    return arguments;
}

// Every log the device writes names its software version; a file without one is some other
// file with a log's name, as the log list and norva-inspect say too.
bool LooksLikeLog(const TLogState& state) {
    return state.SoftwareVersion != 0;
}

TVerdictMark MarkOf(TCheckOutcome outcome) {
    switch (outcome) {
        case TCheckOutcome::Ok:
            return TVerdictMark::Ok;
        case TCheckOutcome::NotValid:
            return TVerdictMark::NotValid;
        case TCheckOutcome::NotInterpretable:
            return TVerdictMark::NotInterpretable;
        case TCheckOutcome::NotChecked:
        case TCheckOutcome::Error:
            break;
    }
    return TVerdictMark::NotChecked;
}

// The chart with no direction holding data: its grid alone.
QImage EmptyPolarChart() {
    THeadlessPaintBox paintBox(PolarChartSize);
    TReceptionPolarChart chart;
    chart.AttachPaintBox(&paintBox);
    chart.SetSlots(TDirectionSlots{});
    chart.Redraw();
    return ChartImage(chart);
}

QImage Thumbnail(const std::filesystem::path& input, int size) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(input, error);
    if (error) {
        throw std::runtime_error(input.string() + ": " + error.message());
    }
    if (!std::filesystem::is_regular_file(status)) {
        // A pipe or a device would be read until it ends, if ever.
        throw std::runtime_error(input.string() + ": not a regular file");
    }
    QImage chart;
    const TFileReport report =
        CheckLogFile(TBatchInput{input, std::nullopt},
                     [&chart](TLogLoader& loader, THeadlessView&, const TFileReport& loaded) {
                         if (!loaded.Error && loaded.State.DataLoaded) {
                             chart = ChartImage(loader.PolarChart());
                         }
                     });
    if (report.Error) {
        throw std::runtime_error(*report.Error);
    }
    if (!LooksLikeLog(report.State)) {
        throw std::runtime_error(input.string() + ": not a NORVA-G measurement log");
    }
    // Logs of older software and logs without direction data show their mark on the grid.
    if (chart.isNull()) {
        chart = EmptyPolarChart();
    }
    return ThumbnailImage(chart, size, MarkOf(OutcomeOf(report)));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::optional<TArguments> arguments = ParseArguments(argc, argv);
        if (!arguments) {
            return 0;
        }
        const QImage thumbnail = Thumbnail(arguments->Input, arguments->Size);
        // Written under a temporary name beside OUTPUT and renamed when whole.
        if (!SavePng(thumbnail, QFile::decodeName(QByteArray::fromStdString(arguments->Output)))) {
            throw std::runtime_error("cannot write " + arguments->Output);
        }
        return 0;
    } catch (const EUsage& e) {
        std::cerr << "norva-thumbnailer: " << e.what() << "\n"
                  << "Try 'norva-thumbnailer --help' for more information.\n";
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "norva-thumbnailer: " << e.what() << '\n';
        return ExitNoThumbnail;
    }
}
