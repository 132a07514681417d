#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "batch/LogCheck.h"

// The exit statuses of norva-inspect; the highest that applies to any file wins.
enum class TExitStatus : int {
    Ok = 0,
    NotValid = 1,
    NotJudged = 2,  // not interpretable, or not checked at all
    LoadError = 3,
    UsageError = 64,
    Interrupted = 130,  // as a shell reports a program ended by Ctrl+C
};

// What one file contributes to the exit status (never UsageError).
TExitStatus ExitStatusOf(const TFileReport& report);

// One file's JSON document, without a line end after its closing brace.
void WriteFileJson(std::ostream& out, const TFileReport& report);
// "PATH: verdict" (or why there is none) and a line end.
void WriteBatchLine(std::ostream& out, const TFileReport& report);

void WriteSummary(std::ostream& out, const TFileReport& report);

// A path for a line a person reads: as it is when it is plain printable UTF-8, else in double
// quotes with C escapes (\n, \", \\, \xHH for a byte that is not UTF-8), so that a name
// holding a line break cannot pass for two lines.
std::string HumanPathText(const std::filesystem::path& path);
