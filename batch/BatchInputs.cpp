#include "batch/BatchInputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

bool HasLogExtension(const fs::path& path) {
    std::string extension = path.extension().native();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".ktz";
}

TBatchInputSource::TBatchInputSource(std::function<std::optional<std::string>()> nextPath,
                                     bool recursive)
    : NextPath_(std::move(nextPath)), Recursive_(recursive) {}

TBatchInputSource::TBatchInputSource(std::vector<std::string> paths, bool recursive)
    : Recursive_(recursive) {
    NextPath_ = [paths = std::move(paths), next = size_t{0}]() mutable {
        return next < paths.size() ? std::optional(std::move(paths[next++])) : std::nullopt;
    };
}

void TBatchInputSource::EnterFolder(const fs::path& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        Pending_ = TBatchInput{folder, std::nullopt};
        return;
    }
    if (!Visited_.insert({info.st_dev, info.st_ino}).second) {
        return;
    }
    std::error_code error;
    TFolderFrame frame;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        frame.Entries.push_back(*it);
    }
    if (error) {
        Pending_ = TBatchInput{folder, "cannot read this folder (" + error.message() + ")"};
        return;
    }
    // By name: a listed entry's path is the folder's, a separator and the name.
    const auto name = [](const fs::directory_entry& entry) {
        const std::string& path = entry.path().native();
        return std::string_view(path).substr(path.rfind('/') + 1);
    };
    std::sort(frame.Entries.begin(), frame.Entries.end(),
              [&name](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return name(a) < name(b);
              });
    Folders_.push_back(std::move(frame));
    if (FolderEntered) {
        FolderEntered(folder);
    }
}

std::optional<TBatchInput> TBatchInputSource::NextFromFolders() {
    while (true) {
        if (Pending_) {
            std::optional<TBatchInput> pending = std::move(Pending_);
            Pending_.reset();
            return pending;
        }
        if (Folders_.empty()) {
            return std::nullopt;
        }
        TFolderFrame& frame = Folders_.back();
        if (frame.Position == frame.Entries.size()) {
            Folders_.pop_back();
            continue;
        }
        const fs::directory_entry entry = std::move(frame.Entries[frame.Position++]);
        std::error_code error;
        // A link is followed to what it names.
        if (entry.is_directory(error)) {
            if (Recursive_) {
                EnterFolder(entry.path());
            }
        } else if (HasLogExtension(entry.path())) {
            // A file that vanished after the listing still gets its row: its load fails. The
            // listing tells a regular file without a further look.
            const bool regular = entry.is_regular_file(error);
            return TBatchInput{entry.path(), std::nullopt,
                               regular ? TPathKind::RegularFile : TPathKind::Unknown};
        }
    }
}

std::optional<TBatchInput> TBatchInputSource::Next() {
    while (true) {
        if (std::optional<TBatchInput> input = NextFromFolders()) {
            TopYielded_ = true;
            return input;
        }
        if (!Top_.empty()) {
            const fs::path top = std::move(Top_);
            Top_.clear();
            if (!TopYielded_) {
                return TBatchInput{top,
                                   std::string(Recursive_ ? "no .ktz file in this folder or below"
                                                          : "no .ktz file in this folder")};
            }
        }
        std::optional<std::string> argument = NextPath_();
        if (!argument) {
            return std::nullopt;
        }
        ++PathsGiven_;
        fs::path path(std::move(*argument));
        std::error_code error;
        if (path == "-" || !fs::is_directory(path, error)) {
            return TBatchInput{std::move(path), std::nullopt};
        }
        Top_ = path;
        TopYielded_ = false;
        Visited_.clear();
        EnterFolder(path);
    }
}

std::vector<TBatchInput> ExpandBatchInputs(const std::vector<std::string>& paths, bool recursive) {
    TBatchInputSource source(paths, recursive);
    std::vector<TBatchInput> inputs;
    while (std::optional<TBatchInput> input = source.Next()) {
        inputs.push_back(std::move(*input));
    }
    return inputs;
}

std::optional<std::string> TPathListReader::Next() {
    std::string name;
    while (true) {
        const int c = std::getc(Stream_);
        if (c == EOF) {
            if (name.empty()) {
                return std::nullopt;
            }
            break;
        }
        if (static_cast<char>(c) == Separator_) {
            if (Separator_ == '\n' && !name.empty() && name.back() == '\r') {
                name.pop_back();
            }
            if (name.empty()) {
                continue;
            }
            break;
        }
        name.push_back(static_cast<char>(c));
    }
    return name;
}
