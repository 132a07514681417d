// norva-inspect: runs the viewer's loader without a window and reports what it found, for
// one log or for whole folders of them.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include "app/CellCsv.h"
#include "app/LogLoader.h"
#include "batch/BatchInputs.h"
#include "batch/BatchRun.h"
#include "batch/HeadlessView.h"
#include "batch/LogCheck.h"
#include "report/DeliveryReport.h"
#include "tools/InspectImages.h"
#include "tools/InspectReport.h"
#include "tools/Progress.h"

namespace {

constexpr unsigned MaxJobs = 1024;
constexpr size_t CellCsvColumnCount = 16;  // the columns of CellCsvHeader
constexpr size_t CellCsvVerdictColumn = 13;

const char* const HelpEpilog =
    "\n"
    "A PATH is a log file, or a folder: its .ktz files (any letter case), in name order.\n"
    "Without --json or --csv a single log file gets a summary; several files or a folder get\n"
    "one line per file in the order given (\"(same content as NAME)\" after a file with the\n"
    "same bytes as an earlier one) and a closing count. JSON gives \"sha256\", the SHA-256 of\n"
    "the bytes checked, \"duplicateOf\", the first earlier file with the same bytes, and\n"
    "\"reason\", why there is no verdict. --csv gives one row per received cell: the serving\n"
    "cell of every direction with data and each of its neighbours that has a level; columns\n"
    "file, direction, time, cell, channel, level_dbm, network, lac, ci, c1, c2, b, d, verdict,\n"
    "sha256, likely_cause; RFC 4180 quoting, UTF-8, CR LF; missing values empty. A file with\n"
    "no received cell gets one row with its verdict, or why there is none, in the verdict\n"
    "column and the cell columns empty. A PATH of - reads the log from standard input; pipes\n"
    "and FIFOs are read like files. Load errors go to standard error as well.\n"
    "\n"
    "A NOT VALID log of up to 64 MiB is searched for the one known harmless change that\n"
    "explains it: bom-added, utf8-reencoded, lines-wrapped, trailing-blanks-added,\n"
    "lines-appended, or a byte-order mark together with utf8-reencoded or\n"
    "trailing-blanks-added. Each is undone on a copy in memory and signed again; the verdict\n"
    "stays NOT VALID. The line of the log then names the change in brackets, JSON has\n"
    "\"likelyCause\" (the codes, [] when none explains it, null for other verdicts) and\n"
    "\"likelyCauseText\", CSV the codes joined with + in likely_cause.\n"
    "\n"
    "Exit status: 0 all signatures OK, 1 a signature NOT VALID, 2 a file not checked or not\n"
    "interpretable, 3 a load failed, 64 usage error; the highest applies.\n";

struct TOptions {
    bool Json = false;
    bool JsonLines = false;
    bool Csv = false;
    std::optional<std::string> FilesFrom;
    bool NulSeparated = false;
    std::optional<QString> ReportPdf;
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
    if (options.Files.empty() && !options.FilesFrom) {
        throw EUsage("no log file given");
    }
    if (int{options.Json} + int{options.JsonLines} + int{options.Csv} +
            int{options.ReportPdf.has_value()} >
        1) {
        throw EUsage("--json, --jsonl, --csv and --report exclude each other");
    }
    if (options.NulSeparated && !options.FilesFrom) {
        throw EUsage("-0 needs --files-from");
    }
    if (options.FilesFrom == "-" &&
        std::find(options.Files.begin(), options.Files.end(), "-") != options.Files.end()) {
        throw EUsage("standard input cannot hold both the list of files and a log");
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
    QCommandLineOption JsonLines{"jsonl",
                                 "One JSON document per file on one line each, printed as each "
                                 "file is done (in input order)."};
    QCommandLineOption Csv{"csv", "One row per received cell (see below)."};
    QCommandLineOption FilesFrom{"files-from",
                                 "Also check the paths listed in <FILE>, one per line (- reads "
                                 "them from standard input).",
                                 "FILE"};
    QCommandLineOption Nul{
        "0", "The --files-from list is separated by NUL bytes (as find prints with print0)."};
    QCommandLineOption Report{
        "report", "Write a PDF report of the logs: a summary, then a page per log.", "OUT.pdf"};
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
    parser.addOptions({set.Help, set.Json, set.JsonLines, set.Csv, set.Recursive, set.Jobs,
                       set.Progress, set.FilesFrom, set.Nul, set.Report, set.Polar, set.Bars,
                       set.Direction});
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
    options.JsonLines = parser.isSet(set.JsonLines);
    options.Csv = parser.isSet(set.Csv);
    if (parser.isSet(set.FilesFrom)) {
        options.FilesFrom = QFile::encodeName(parser.value(set.FilesFrom)).toStdString();
    }
    options.NulSeparated = parser.isSet(set.Nul);
    if (parser.isSet(set.Report)) {
        options.ReportPdf = parser.value(set.Report);
    }
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

struct TFileOutcome {
    TFileReport Report;
    std::string CsvRows;
    TExitStatus Status = TExitStatus::Ok;
};

std::string LikelyCauseCodesOf(const TFileReport& report) {
    return report.LikelyCause ? LikelyCauseCodes(report.LikelyCause->Changes) : std::string();
}

// The load itself never throws (CheckLogFile makes every failure the file's error); what is
// taken from the loaded file here runs inside it.
TFileOutcome InspectFile(const TBatchInput& input, const TOptions& options, bool batch,
                         const TInspectImages& images) {
    TFileOutcome outcome;
    // A digest costs a pass over the bytes, the records their parsing, the cell lines their
    // formatting and the size a look-up: each is made only for output that shows it (none shows
    // the size). The lines for people of a batch show the outcome alone (and whether the bytes
    // repeat an earlier file's).
    const bool outcomeOnly = batch && !options.Json && !options.JsonLines && !options.Csv;
    const TCheckOptions check{.Sha256 = batch || options.Json || options.JsonLines || options.Csv,
                              .CellLines = options.Json || options.JsonLines || !batch,
                              .Records = !outcomeOnly,
                              .Size = false};
    outcome.Report = CheckLogFile(
        input, check, [&](TLogLoader& loader, THeadlessView&, const TFileReport& report) {
            if (options.Csv && !report.Error) {
                outcome.CsvRows =
                    CellCsvRows(PathUtf8(report.Path), loader.DirectionSlots(), loader.Verdict(),
                                report.Sha256, LikelyCauseCodesOf(report));
            }
            if (options.PolarPng && !images.SaveChartPng(loader.PolarChart(), *options.PolarPng)) {
                outcome.Status = TExitStatus::LoadError;
            }
            if (options.BarsPng) {
                if (options.Direction) {
                    loader.rbXClick(*options.Direction);
                }
                if (!images.SaveChartPng(loader.NeighborChart(), *options.BarsPng)) {
                    outcome.Status = TExitStatus::LoadError;
                }
            }
        });
    if (options.Csv && outcome.CsvRows.empty()) {
        // A spreadsheet of a delivery lists every file, also one without a received cell.
        std::vector<std::string> fields(CellCsvColumnCount);
        fields.front() = PathUtf8(outcome.Report.Path);
        fields[CellCsvVerdictColumn] = OutcomeText(outcome.Report);
        fields[CellCsvVerdictColumn + 1] = outcome.Report.Sha256;
        fields.back() = LikelyCauseCodesOf(outcome.Report);
        outcome.CsvRows = CsvRow(fields);
    }
    outcome.Status = std::max(outcome.Status, ExitStatusOf(outcome.Report));
    return outcome;
}

// One JSON document on one line: the document --json prints, its line breaks and indentation
// taken out (strings hold no raw line break: they are escaped).
std::string JsonLine(const TFileReport& report,
                     const std::optional<std::filesystem::path>& duplicateOf) {
    std::ostringstream pretty;
    WriteFileJson(pretty, report, duplicateOf);
    const std::string text = pretty.str();
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            while (i + 1 < text.size() && text[i + 1] == ' ') {
                ++i;
            }
        } else {
            line += text[i];
        }
    }
    return line;
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
        const std::optional<std::filesystem::path> duplicateOf = FirstWithSameBytes(outcome.Report);
        Counts_.Add(outcome.Report);
        if (outcome.Report.Error) {
            // Standard error is not buffered: what came before goes out first.
            std::cout.flush();
            std::cerr << "norva-inspect: " << HumanPathText(outcome.Report.Path) << ": "
                      << *outcome.Report.Error << '\n';
        }
        if (Options_.Csv) {
            std::cout << outcome.CsvRows;
        } else if (Options_.JsonLines) {
            std::cout << JsonLine(outcome.Report, duplicateOf) << '\n';
        } else if (Options_.Json) {
            std::cout << (Counts_.Files > 1 ? ",\n" : "");
            WriteFileJson(std::cout, outcome.Report, duplicateOf);
        } else if (Batch_) {
            WriteBatchLine(std::cout, outcome.Report, duplicateOf);
        } else {
            WriteSummary(std::cout, outcome.Report);
        }
    }

    TExitStatus End() {
        if (Options_.Json && Counts_.Files == 0) {
            std::cout << "]\n";
        } else if (Options_.Json) {
            std::cout << (Batch_ ? "\n]\n" : "\n");
        } else if (!Options_.Csv && !Options_.JsonLines && Batch_) {
            std::cout << Counts_.Text() << '\n';
        }
        return Status_;
    }

  private:
    // The path of the first file, in input order, with the same digest as this one's.
    std::optional<std::filesystem::path> FirstWithSameBytes(const TFileReport& report) {
        if (report.Sha256.empty()) {
            return std::nullopt;
        }
        const auto [first, inserted] = FirstOfDigest_.try_emplace(report.Sha256, report.Path);
        return inserted ? std::nullopt : std::optional(first->second);
    }

    const TOptions& Options_;
    bool Batch_;
    TBatchCounts Counts_;
    std::unordered_map<std::string, std::filesystem::path> FirstOfDigest_;
    TExitStatus Status_ = TExitStatus::Ok;
};

// The paths of the command line, then those of the --files-from list.
class TPathSource {
  public:
    explicit TPathSource(const TOptions& options) : Files_(options.Files) {
        if (!options.FilesFrom) {
            return;
        }
        if (*options.FilesFrom == "-") {
            List_ = stdin;
        } else {
            List_ = std::fopen(options.FilesFrom->c_str(), "rb");
            Owned_.reset(List_);
            if (List_ == nullptr) {
                throw std::runtime_error("cannot read the list of files " + *options.FilesFrom);
            }
        }
        Reader_.emplace(List_, options.NulSeparated);
    }

    std::optional<std::string> Next() {
        if (Next_ < Files_.size()) {
            return Files_[Next_++];
        }
        return Reader_ ? Reader_->Next() : std::nullopt;
    }

  private:
    struct TClose {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    const std::vector<std::string>& Files_;
    size_t Next_ = 0;
    std::FILE* List_ = nullptr;
    std::unique_ptr<std::FILE, TClose> Owned_;
    std::optional<TPathListReader> Reader_;
};

volatile std::sig_atomic_t Interrupted = 0;

extern "C" void OnInterrupt(int) {
    Interrupted = 1;
}

// Interrupted (Ctrl+C, or terminated), the report is given up cleanly: its temporary file is
// removed and nothing is left where the report was to be.
TExitStatus WriteReport(const TOptions& options, TBatchInputSource& source, unsigned jobs,
                        const TInspectImages& images) {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::vector<TBatchInput> inputs;
    while (std::optional<TBatchInput> input = source.Next()) {
        inputs.push_back(std::move(*input));
    }
    TDeliveryReportOptions report;
    QStringList sources;
    for (const std::string& file : options.Files) {
        sources << QFile::decodeName(QByteArray::fromStdString(file));
    }
    if (options.FilesFrom) {
        sources << QStringLiteral("the list %1")
                       .arg(QFile::decodeName(QByteArray::fromStdString(*options.FilesFrom)));
    }
    report.Source = sources.join(QStringLiteral(", "));
    report.CheckedBy = QStringLiteral("norva-inspect %1").arg(NORVA_VERSION);
    report.When = QDateTime::currentDateTime();
    report.Jobs = jobs;
    TProgress progress(options.Progress);
    const std::optional<TBatchCounts> counts =
        images.WriteReport(*options.ReportPdf, inputs, report, [&](size_t done, size_t) {
            progress.Tick(done);
            return Interrupted == 0;
        });
    if (!counts) {
        progress.Clear();
        std::cerr << "norva-inspect: interrupted, no report written\n";
        return TExitStatus::Interrupted;
    }
    progress.Finish(2 * inputs.size());
    std::cout << counts->Text() << '\n';
    return counts->ExitStatus();
}

bool WantsPictures(const TOptions& options) {
    return options.ReportPdf || options.PolarPng || options.BarsPng;
}

// The program linked with the GUI libraries, beside this one (as built) or in its private
// folder (as installed). The command line goes over as it is, so that everything the user
// sees comes out as from this program.
[[noreturn]] void HandOverToImageProgram(char** argv) {
    std::error_code unknown;
    const std::filesystem::path here =
        std::filesystem::read_symlink("/proc/self/exe", unknown).parent_path();
    int error = unknown.value();
    for (const std::filesystem::path& folder : {here, here / NORVA_IMAGES_FROM_BIN}) {
        const std::filesystem::path program = folder / "norva-inspect-images";
        if (!unknown) {
            ::execv(program.c_str(), argv);
            error = errno;
        }
    }
    throw std::runtime_error(
        std::string("pictures need norva-inspect-images, which cannot be started: ") +
        std::strerror(error));
}

TExitStatus Run(const TOptions& options, const TInspectImages& images) {
    std::error_code folder;
    const bool batch = options.FilesFrom || options.Files.size() != 1 ||
                       std::filesystem::is_directory(options.Files.front(), folder);
    if ((options.PolarPng || options.BarsPng) && batch) {
        throw EUsage("--polar and --bars take exactly one log file");
    }
    // One log is checked where it is asked for: threads would only cost their start.
    const unsigned jobs = !batch              ? 1u
                          : options.Jobs != 0 ? options.Jobs
                                              : std::max(1u, std::thread::hardware_concurrency());
    TPathSource paths(options);
    TBatchInputSource source([&paths] { return paths.Next(); }, options.Recursive);
    if (options.ReportPdf) {
        return WriteReport(options, source, jobs, images);
    }
    TBatchPrinter printer(options, batch);
    TProgress progress(options.Progress);
    size_t printed = 0;
    printer.Begin();
    RunInOrder<TBatchInput, TFileOutcome>(
        jobs, ReorderWindow(jobs), [&] { return source.Next(); },
        [&](TBatchInput& input) { return InspectFile(input, options, batch, images); },
        [&](TFileOutcome& outcome) {
            progress.Clear();
            printer.Print(outcome);
            ++printed;
        },
        [&](size_t done) {
            // Whatever is done reaches the output before the runner waits for more (and before
            // the progress line can show).
            std::cout.flush();
            progress.Tick(done);
        });
    progress.Finish(printed);
    return printer.End();
}

}  // namespace

int RunInspect(int argc, char** argv, const TInspectImages* images) {
    QCoreApplication::setApplicationName("norva-inspect");
    QCoreApplication::setApplicationVersion(NORVA_VERSION);
    // The SHA-1 of a long log runs beside its encryption, on a second core when one is free.
    AllowSignatureHashThread(true);
    QCommandLineParser parser;
    try {
        TOptions options;
        switch (ParseArguments(parser, argc, argv, options)) {
            case TParseResult::Help: {
                // The usage line names the program as it was called, which only an
                // application object knows.
                std::optional<QCoreApplication> application;
                if (QCoreApplication::instance() == nullptr) {
                    application.emplace(argc, argv);
                }
                std::cout << parser.helpText().toStdString() << HelpEpilog;
                return static_cast<int>(TExitStatus::Ok);
            }
            case TParseResult::Version:
                std::cout << "norva-inspect " << NORVA_VERSION << '\n';
                return static_cast<int>(TExitStatus::Ok);
            case TParseResult::Run:
                break;
        }
        if (images == nullptr && WantsPictures(options)) {
            HandOverToImageProgram(argv);
        }
        static const TInspectImages none;
        return static_cast<int>(Run(options, images != nullptr ? *images : none));
    } catch (const EUsage& e) {
        std::cerr << "norva-inspect: " << e.what() << "\n"
                  << "Try 'norva-inspect --help' for more information.\n";
        return static_cast<int>(TExitStatus::UsageError);
    } catch (const std::exception& e) {
        std::cerr << "norva-inspect: " << e.what() << '\n';
        return static_cast<int>(TExitStatus::LoadError);
    }
}
