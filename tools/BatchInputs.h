#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// One log the batch checks, in the order of the command line.
struct TBatchInput {
    std::filesystem::path Path;
    // Set when there is nothing to load (a folder without logs): reported as this file's error.
    std::optional<std::string> Problem;
};

// True for a name ending ".ktz" in any letter case.
bool HasLogExtension(const std::filesystem::path& path);

// Expands the command line's paths. A file stays as given, whatever its name. A folder gives
// the .ktz files directly in it, and with `recursive` those of every folder below as well,
// each folder's entries sorted by name and walked depth first. Symbolic links are followed,
// but no folder is walked twice, so link loops end. A folder that cannot be read stands for
// itself (its load then fails); a folder that yields no log at all gives a Problem entry.
std::vector<TBatchInput> ExpandBatchInputs(const std::vector<std::string>& arguments,
                                           bool recursive);
