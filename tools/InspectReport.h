#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "batch/LogCheck.h"

// One file's JSON document, without a line end after its closing brace. `duplicateOf`: the
// path, as given, of an earlier file with the same bytes.
void WriteFileJson(std::ostream& out, const TFileReport& report,
                   const std::optional<std::filesystem::path>& duplicateOf = std::nullopt);
// "PATH: " and the outcome text, " (same content as NAME)" for a duplicate, and a line end.
void WriteBatchLine(std::ostream& out, const TFileReport& report,
                    const std::optional<std::filesystem::path>& duplicateOf = std::nullopt);

void WriteSummary(std::ostream& out, const TFileReport& report);

// A path for a line a person reads: as the window shows it (DisplayPathText), in double quotes
// with C escapes (\n, \", \\, \xHH) when it holds a control character or a double quote, so
// that a name holding a line break cannot pass for two lines.
std::string HumanPathText(const std::filesystem::path& path);
