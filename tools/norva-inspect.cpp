// norva-inspect: runs the viewer's loader without a window and reports what it found, for
// one log or for whole folders of them.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/CellCsv.h"
#include "app/LogLoader.h"
#include "batch/BatchInputs.h"
#include "batch/BatchRun.h"
#include "batch/HeadlessView.h"
#include "batch/LogCheck.h"
#include "charts/MonitorGraphics.h"
#include "tools/InspectReport.h"
#include "tools/Progress.h"

namespace {

constexpr unsigned MaxJobs = 1024;

const char* const HelpEpilog =
    "\n"
    "A PATH is a log file, or a folder: its .ktz files (any letter case), in name order.\n"
    "Without --json or --csv a single log file gets a summary; several files or a folder get\n"
    "one line per file in the order given and a closing count. --csv gives one row per\n"
    "received cell: the serving cell of every direction with data and each of its neighbours\n"
    "that has a level; columns file, direction, time, cell, channel, level_dbm, network, lac,\n"
    "ci, c1, c2, b, d, verdict; RFC 4180 quoting, UTF-8, CR LF; missing values empty.\n"
    "\n"
    "Exit status: 0 all signatures OK, 1 a signature NOT VALID, 2 a file not checked or not\n"
    "interpretable, 3 a load failed, 64 usage error; the highest applies.\n";

struct TOptions {
    bool Json = false;
    bool Csv = false;
    bool Recursive = false;
    bool Progress = false;
    unsigned Jobs = 0;  // 0: one per processor
    std::optional<QString> PolarPng;
    std::optional<QString> BarsPng;
    std::optional<int> Direction;
    std::vector<std::string> Files;
};

class EUsage : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

int ParseDirection(const QString& text) {
    if (text.size() == 1 && text[0] >= u'0' && text[0] <= u'7') {
        return text[0].unicode() - u'0';
    }
    throw EUsage("--direction takes a direction number from 0 to 7");
}

unsigned ParseJobs(const QString& value) {
    const std::string text = value.toStdString();
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

// The command line's options, each with its help text.
struct TOptionSet {
    QCommandLineOption Help{{"h", "help"}, "Displays this help."};
    QCommandLineOption Json{"json",
                            "One JSON document per file (an array for several files or "
                            "a folder)."};
    QCommandLineOption Csv{"csv", "One row per received cell (see below)."};
    QCommandLineOption Recursive{{"r", "recursive"},
                                 "Also the .ktz files of every folder below a folder PATH."};
    QCommandLineOption Jobs{{"j", "jobs"},
                            "Check <N> files at a time (default: one per processor); each load "
                            "holds its file in memory several times over.",
                            "N"};
    QCommandLineOption Progress{"progress",
                                "Show \"checked K/N\" on standard error (shown anyway on a "
                                "terminal once a run takes more than a moment)."};
    QCommandLineOption Polar{"polar", "Write the polar chart (one log file only).", "FILE.png"};
    QCommandLineOption Bars{
        "bars", "Write the bar chart of the selected direction, or of --direction.", "FILE.png"};
    QCommandLineOption Direction{"direction", "The direction (0 to 7) for --bars.", "N"};
};

// A positional argument's bytes as they were given: decoding a file name that is not valid in
// the locale's encoding loses bytes, and the file must still be found.
std::vector<std::string> RawPositionals(const QStringList& positionals, const QStringList& decoded,
                                        char** argv) {
    std::vector<std::string> raw;
    qsizetype at = 1;
    for (const QString& positional : positionals) {
        while (at < decoded.size() && decoded[at] != positional) {
            ++at;
        }
        raw.push_back(at < decoded.size() ? std::string(argv[at++]) : positional.toStdString());
    }
    return raw;
}

enum class TParseResult { Run, Help, Version };

TParseResult ParseArguments(QCommandLineParser& parser, int argc, char** argv, TOptions& options) {
    const TOptionSet set;
    parser.setApplicationDescription(
        "Checks the signature of NORVA-G measurement logs and reports what they hold.");
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({set.Help, set.Json, set.Csv, set.Recursive, set.Jobs, set.Progress,
                       set.Polar, set.Bars, set.Direction});
    parser.addPositionalArgument("PATH", "A log file, or a folder of them.", "PATH...");
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    if (!parser.parse(arguments)) {
        throw EUsage(parser.errorText().toStdString());
    }
    if (parser.isSet(set.Help)) {
        return TParseResult::Help;
    }
    if (parser.isSet(version)) {
        return TParseResult::Version;
    }
    options.Json = parser.isSet(set.Json);
    options.Csv = parser.isSet(set.Csv);
    options.Recursive = parser.isSet(set.Recursive);
    options.Progress = parser.isSet(set.Progress);
    if (parser.isSet(set.Jobs)) {
        options.Jobs = ParseJobs(parser.value(set.Jobs));
    }
    if (parser.isSet(set.Polar)) {
        options.PolarPng = parser.value(set.Polar);
    }
    if (parser.isSet(set.Bars)) {
        options.BarsPng = parser.value(set.Bars);
    }
    if (parser.isSet(set.Direction)) {
        options.Direction = ParseDirection(parser.value(set.Direction));
    }
    options.Files = RawPositionals(parser.positionalArguments(), arguments, argv);
    CheckCombinations(options);
    return TParseResult::Run;
}

// Writes a chart image; returns false (after saying why) when it cannot be written.
bool SavePng(const QImage& image, const QString& path) {
    if (image.save(path, "PNG")) {
        return true;
    }
    std::cerr << "norva-inspect: cannot write " << path.toStdString() << '\n';
    return false;
}

struct TFileOutcome {
    TFileReport Report;
    std::string CsvRows;
    TExitStatus Status = TExitStatus::Ok;
};

// The load itself never throws (CheckLogFile makes every failure the file's error); what is
// taken from the loaded file here runs inside it.
TFileOutcome InspectFile(const TBatchInput& input, const TOptions& options) {
    TFileOutcome outcome;
    outcome.Report = CheckLogFile(input, [&](TLogLoader& loader, THeadlessView& view,
                                             const TFileReport& report) {
        if (options.Csv && !report.Error) {
            outcome.CsvRows = CellCsvRows(report.File, loader.DirectionSlots(), loader.Verdict());
        }
        if (options.PolarPng && !SavePng(view.PolarBox.Image(), *options.PolarPng)) {
            outcome.Status = TExitStatus::LoadError;
        }
        if (options.BarsPng) {
            if (options.Direction) {
                loader.rbXClick(*options.Direction);
            }
            if (!SavePng(view.NeighborBox.Image(), *options.BarsPng)) {
                outcome.Status = TExitStatus::LoadError;
            }
        }
    });
    outcome.Status = std::max(outcome.Status, ExitStatusOf(outcome.Report));
    return outcome;
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

    TExitStatus End() {
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
    TExitStatus Status_ = TExitStatus::Ok;
};

TExitStatus Run(const TOptions& options) {
    std::error_code folder;
    const bool batch =
        options.Files.size() != 1 || std::filesystem::is_directory(options.Files.front(), folder);
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
    TBatchInputSource source(options.Files, options.Recursive);
    TBatchPrinter printer(options, batch);
    TProgress progress(options.Progress);
    size_t printed = 0;
    printer.Begin();
    RunInOrder<TBatchInput, TFileOutcome>(
        jobs, ReorderWindow(jobs), [&] { return source.Next(); },
        [&](TBatchInput& input) { return InspectFile(input, options); },
        [&](TFileOutcome& outcome) {
            progress.Clear();
            printer.Print(outcome);
            ++printed;
        },
        [&](size_t done) { progress.Tick(done); });
    progress.Finish(printed);
    return printer.End();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("norva-inspect");
    QCoreApplication::setApplicationVersion(NORVA_VERSION);
    QCommandLineParser parser;
    try {
        TOptions options;
        switch (ParseArguments(parser, argc, argv, options)) {
            case TParseResult::Help:
                std::cout << parser.helpText().toStdString() << HelpEpilog;
                return static_cast<int>(TExitStatus::Ok);
            case TParseResult::Version:
                std::cout << "norva-inspect " << NORVA_VERSION << '\n';
                return static_cast<int>(TExitStatus::Ok);
            case TParseResult::Run:
                break;
        }
        return static_cast<int>(Run(options));
    } catch (const EUsage& e) {
        std::cerr << "norva-inspect: " << e.what() << "\n"
                  << "Try 'norva-inspect --help' for more information.\n";
        return static_cast<int>(TExitStatus::UsageError);
    }
}
