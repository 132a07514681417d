// norva-inspect: runs the viewer's loader without a window and reports what it found, for
// one log or for whole folders of them.

#include <QString>
#include <algorithm>
#include <charconv>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/CellCsv.h"
#include "app/LogLoader.h"
#include "charts/MonitorGraphics.h"
#include "tools/BatchInputs.h"
#include "tools/BatchRun.h"
#include "tools/HeadlessView.h"
#include "tools/InspectReport.h"

namespace {

constexpr int UsageError = 64;
constexpr int LoadError = 3;
constexpr unsigned MaxJobs = 1024;

const char* const UsageText =
    "usage: norva-inspect [--json | --csv] [-r] [-j N] [--progress]\n"
    "                     [--polar FILE.png] [--direction N --bars FILE.png] PATH...\n"
    "  PATH            a log file, or a folder: its .ktz files (any letter case), sorted\n"
    "  -r, --recursive also the .ktz files of every folder below a folder PATH\n"
    "  -j, --jobs N    check N files at a time (default: one per processor); each load\n"
    "                  holds its file in memory several times over\n"
    "  --progress      show \"checked K/N\" on standard error (shown anyway on a terminal\n"
    "                  once a run takes more than a moment)\n"
    "  --json          one JSON document per file (an array for several files or a folder)\n"
    "  --csv           one row per received cell: the serving cell of every direction with\n"
    "                  data and each of its neighbours that has a level; columns file,\n"
    "                  direction, time, cell, channel, level_dbm, network, lac, ci, c1, c2,\n"
    "                  b, d, verdict; RFC 4180 quoting, UTF-8, CR LF; missing values empty\n"
    "  --polar PNG     write the polar chart (one log file only)\n"
    "  --bars PNG      write the bar chart of the selected direction, or of --direction N\n"
    "Without --json or --csv a single log file gets a summary; several files or a folder get\n"
    "one line per file in the order given and a closing count.\n"
    "exit status: 0 all signatures OK, 1 a signature NOT VALID, 2 a file not checked or not\n"
    "interpretable, 3 a load failed, 64 usage error; the highest applies\n";

struct TOptions {
    bool Json = false;
    bool Csv = false;
    bool Recursive = false;
    bool Progress = false;
    unsigned Jobs = 0;  // 0: one per processor
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

unsigned ParseJobs(const std::string& text) {
    unsigned jobs = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    if (error != std::errc() || end != text.data() + text.size() || jobs < 1 || jobs > MaxJobs) {
        throw EUsage("-j takes a number of threads from 1 to " + std::to_string(MaxJobs));
    }
    return jobs;
}

void CheckCombinations(const TOptions& options) {
    if (options.Files.empty()) {
        throw EUsage("no log file given");
    }
    if (options.Json && options.Csv) {
        throw EUsage("--json and --csv exclude each other");
    }
    if (options.Direction && !options.BarsPng) {
        throw EUsage("--direction needs --bars");
    }
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
        } else if (arg == "--csv") {
            options.Csv = true;
        } else if (arg == "-r" || arg == "--recursive") {
            options.Recursive = true;
        } else if (arg == "--progress") {
            options.Progress = true;
        } else if (arg == "-j" || arg == "--jobs") {
            options.Jobs = ParseJobs(value());
        } else if (arg.starts_with("-j")) {
            options.Jobs = ParseJobs(arg.substr(2));
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
    CheckCombinations(options);
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

struct TFileOutcome {
    TFileReport Report;
    std::string CsvRows;
    int Status = 0;
};

// Loads one file with a loader and a view of its own, so that no file's result depends on
// another's and files can load on several threads at once.
TFileOutcome InspectFile(const TBatchInput& input, const TOptions& options) {
    THeadlessView view;
    TLogLoader loader(view);
    view.ForgetSelectorPlacements();
    std::optional<std::string> error = input.Problem;
    if (!error) {
        try {
            loader.LoadLogFile(input.Path);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what()).toUtf8().toStdString();
        }
    }
    TFileOutcome outcome;
    outcome.Report = MakeFileReport(Utf8FromArgument(input.Path.native()), error, loader, view);
    outcome.Status = ExitStatusOf(outcome.Report);
    if (options.Csv && !error) {
        outcome.CsvRows =
            CellCsvRows(outcome.Report.File, loader.DirectionSlots(), loader.Verdict());
    }
    if (options.PolarPng && !SavePng(view.PolarBox.Image(), *options.PolarPng)) {
        outcome.Status = std::max(outcome.Status, LoadError);
    }
    if (options.BarsPng) {
        if (options.Direction) {
            loader.rbXClick(*options.Direction);
        }
        if (!SavePng(view.NeighborBox.Image(), *options.BarsPng)) {
            outcome.Status = std::max(outcome.Status, LoadError);
        }
    }
    return outcome;
}

// Never lets an error out of a worker thread: whatever goes wrong becomes that file's error.
TFileOutcome InspectFileSafely(const TBatchInput& input, const TOptions& options) {
    try {
        return InspectFile(input, options);
    } catch (const std::exception& e) {
        TFileOutcome outcome;
        outcome.Report.File = Utf8FromArgument(input.Path.native());
        outcome.Report.Error = e.what();
        outcome.Status = LoadError;
        return outcome;
    }
}

// Prints each file's result as it comes, in input order.
class TBatchPrinter {
  public:
    TBatchPrinter(const TOptions& options, bool batch) : Options_(options), Batch_(batch) {}

    void Begin() {
        if (Options_.Csv) {
            std::cout << CellCsvHeader();
        } else if (Options_.Json && Batch_) {
            std::cout << "[\n";
        }
    }

    void Print(const TFileOutcome& outcome) {
        Status_ = std::max(Status_, outcome.Status);
        Counts_.Add(outcome.Report);
        if (Options_.Csv) {
            std::cout << outcome.CsvRows;
            if (outcome.Report.Error) {
                std::cerr << "norva-inspect: " << outcome.Report.File << ": "
                          << *outcome.Report.Error << '\n';
            }
        } else if (Options_.Json) {
            std::cout << (Counts_.Files > 1 ? ",\n" : "");
            WriteFileJson(std::cout, outcome.Report);
        } else if (Batch_) {
            WriteBatchLine(std::cout, outcome.Report);
        } else {
            WriteSummary(std::cout, outcome.Report);
        }
        std::cout.flush();
    }

    int End() {
        if (Options_.Json) {
            std::cout << (Batch_ ? "\n]\n" : "\n");
        } else if (!Options_.Csv && Batch_) {
            std::cout << Counts_.Text() << '\n';
        }
        return Status_;
    }

  private:
    const TOptions& Options_;
    bool Batch_;
    TBatchCounts Counts_;
    int Status_ = 0;
};

int Run(const TOptions& options) {
    const std::vector<TBatchInput> inputs = ExpandBatchInputs(options.Files, options.Recursive);
    std::error_code folder;
    const bool batch = inputs.size() != 1 || options.Files.size() != 1 ||
                       std::filesystem::is_directory(options.Files.front(), folder);
    if ((options.PolarPng || options.BarsPng) && batch) {
        throw EUsage("--polar and --bars take exactly one log file");
    }
    // The band images are shared by every chart; loaded here, before any worker starts, no
    // two threads race to load them.
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    const unsigned jobs =
        options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::optional<TFileOutcome>> outcomes(inputs.size());
    TBatchPrinter printer(options, batch);
    TProgress progress(inputs.size(), options.Progress);
    printer.Begin();
    RunInOrder(
        inputs.size(), jobs, [&](size_t i) { outcomes[i] = InspectFileSafely(inputs[i], options); },
        [&](size_t i) {
            progress.Clear();
            printer.Print(*outcomes[i]);
            outcomes[i].reset();
        },
        [&](size_t done) { progress.Tick(done); });
    progress.Finish(inputs.size());
    return printer.End();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
            std::cout << UsageText;
            return 0;
        }
        return Run(ParseArguments(argc, argv));
    } catch (const EUsage& e) {
        std::cerr << "norva-inspect: " << e.what() << '\n' << UsageText;
        return UsageError;
    }
}
