// norva-inspect: runs the viewer's loader without a window and reports what it found.

#include <QString>
#include <algorithm>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "HeadlessView.h"
#include "InspectReport.h"
#include "LogLoader.h"

namespace {

constexpr int UsageError = 64;
constexpr int LoadError = 3;

const char* const UsageText =
    "usage: norva-inspect [--json] [--polar FILE.png] [--direction N --bars FILE.png] FILE...\n"
    "  --json          print one JSON document per file (an array for several files)\n"
    "  --polar PNG     write the polar chart of the file\n"
    "  --bars PNG      write the bar chart of the selected direction, or of --direction N\n"
    "exit status: 0 all signatures OK, 1 a signature NOT VALID, 2 a file not checked or not\n"
    "interpretable, 3 a load failed, 64 usage error; the highest applies\n";

struct TOptions {
    bool Json = false;
    std::optional<std::string> PolarPng;
    std::optional<std::string> BarsPng;
    std::optional<int> Direction;
    std::vector<std::string> Files;
};

class EUsage : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

int ParseDirection(const std::string& text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '7') {
        return text[0] - '0';
    }
    throw EUsage("--direction takes a direction number from 0 to 7");
}

TOptions ParseArguments(int argc, char** argv) {
    TOptions options;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                throw EUsage(arg + " needs a value");
            }
            return argv[++i];
        };
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.Files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--json") {
            options.Json = true;
        } else if (arg == "--polar") {
            options.PolarPng = value();
        } else if (arg == "--bars") {
            options.BarsPng = value();
        } else if (arg == "--direction") {
            options.Direction = ParseDirection(value());
        } else {
            throw EUsage("unknown option " + arg);
        }
    }
    if (options.Files.empty()) {
        throw EUsage("no log file given");
    }
    if (options.Direction && !options.BarsPng) {
        throw EUsage("--direction needs --bars");
    }
    if ((options.PolarPng || options.BarsPng) && options.Files.size() > 1) {
        throw EUsage("--polar and --bars take exactly one log file");
    }
    return options;
}

std::string Utf8FromArgument(const std::string& arg) {
    return QString::fromLocal8Bit(arg.c_str()).toUtf8().toStdString();
}

// Writes a chart image; returns false (after saying why) when it cannot be written.
bool SavePng(const QImage& image, const std::string& path) {
    if (image.save(QString::fromLocal8Bit(path.c_str()), "PNG")) {
        return true;
    }
    std::cerr << "norva-inspect: cannot write " << path << '\n';
    return false;
}

// Loads one file with a loader of its own, so that no file's result depends on another's.
TFileReport InspectFile(const std::string& file, const TOptions& options, int& status) {
    THeadlessView view;
    TLogLoader loader(view);
    view.ForgetSelectorPlacements();
    std::optional<std::string> error;
    try {
        loader.LoadLogFile(file);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what()).toUtf8().toStdString();
    }
    TFileReport report = MakeFileReport(Utf8FromArgument(file), error, loader, view);
    status = std::max(status, ExitStatusOf(report));
    if (options.PolarPng && !SavePng(view.PolarBox.Image(), *options.PolarPng)) {
        status = std::max(status, LoadError);
    }
    if (options.BarsPng) {
        if (options.Direction) {
            loader.rbXClick(*options.Direction);
        }
        if (!SavePng(view.NeighborBox.Image(), *options.BarsPng)) {
            status = std::max(status, LoadError);
        }
    }
    return report;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    try {
        if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
            std::cout << UsageText;
            return 0;
        }
        options = ParseArguments(argc, argv);
    } catch (const EUsage& e) {
        std::cerr << "norva-inspect: " << e.what() << '\n' << UsageText;
        return UsageError;
    }
    int status = 0;
    std::vector<TFileReport> reports;
    for (const std::string& file : options.Files) {
        reports.push_back(InspectFile(file, options, status));
        if (!options.Json) {
            if (reports.size() > 1) {
                std::cout << '\n';
            }
            WriteSummary(std::cout, reports.back());
        }
    }
    if (options.Json) {
        WriteJson(std::cout, reports, reports.size() > 1);
    }
    return status;
}
