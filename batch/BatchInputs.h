#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "app/LogFile.h"

// One log the batch checks, in the order of the command line.
struct TBatchInput {
    std::filesystem::path Path;
    // Set when there is nothing to load (a folder without logs): reported as this file's error.
    std::optional<std::string> Problem;
    TPathKind Kind = TPathKind::Unknown;
};

// True for a name ending ".ktz" in any letter case.
bool HasLogExtension(const std::filesystem::path& path);

// Expands paths into the logs to check, one at a time, so that a list of a million paths or
// a folder of a million logs is never held whole. A file stays as given, whatever its name
// ("-" too: standard input). A folder gives the .ktz files directly in it, and with
// `recursive` those of every folder below as well, each folder's entries sorted by name and
// walked depth first (only the listings of the folders being walked are held). Symbolic links
// are followed, but no folder is walked twice, so link loops end. A folder that cannot be read
// stands for itself with a Problem saying why; a folder that yields no log at all gives a
// Problem entry too.
class TBatchInputSource {
  public:
    // nextPath gives the paths in order, then nothing.
    TBatchInputSource(std::function<std::optional<std::string>()> nextPath, bool recursive);
    explicit TBatchInputSource(std::vector<std::string> paths, bool recursive);

    std::optional<TBatchInput> Next();
    // How many paths nextPath has given so far.
    size_t PathsGiven() const { return PathsGiven_; }

    // Told of every folder as the walk enters it (e.g. to watch it).
    std::function<void(const std::filesystem::path& folder)> FolderEntered;

  private:
    struct TFolderFrame {
        // As listed: the kind of an entry that is no link is known without looking again.
        std::vector<std::filesystem::directory_entry> Entries;
        size_t Position = 0;
    };
    void EnterFolder(const std::filesystem::path& folder);
    std::optional<TBatchInput> NextFromFolders();

    std::function<std::optional<std::string>()> NextPath_;
    bool Recursive_;
    size_t PathsGiven_ = 0;
    std::vector<TFolderFrame> Folders_;
    std::optional<TBatchInput> Pending_;  // an unreadable folder standing for itself
    std::filesystem::path Top_;           // the folder argument being walked
    bool TopYielded_ = false;
    std::set<std::pair<dev_t, ino_t>> Visited_;
};

// Every input of `paths`, for callers that need the whole list (the log list window).
std::vector<TBatchInput> ExpandBatchInputs(const std::vector<std::string>& paths, bool recursive);

// Reads paths from a stream of names, one per line (LF, a CR before it dropped) or
// NUL-separated; empty names are skipped. Used for --files-from.
class TPathListReader {
  public:
    TPathListReader(std::FILE* stream, bool nulSeparated)
        : Stream_(stream), Separator_(nulSeparated ? '\0' : '\n') {}
    std::optional<std::string> Next();

  private:
    std::FILE* Stream_;
    char Separator_;
};
