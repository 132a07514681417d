#include "tools/BatchInputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

using TFolderId = std::pair<dev_t, ino_t>;

class TFolderWalk {
  public:
    TFolderWalk(bool recursive, std::vector<TBatchInput>& out) : Recursive_(recursive), Out_(out) {}

    void Walk(const fs::path& folder) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) {
            Out_.push_back({folder, std::nullopt});
            return;
        }
        if (!Visited_.insert({info.st_dev, info.st_ino}).second) {
            return;
        }
        std::error_code error;
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            entries.push_back(it->path());
        }
        if (error) {
            Out_.push_back({folder, std::nullopt});
            return;
        }
        std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
            return a.filename().native() < b.filename().native();
        });
        for (const fs::path& entry : entries) {
            Visit(entry);
        }
    }

  private:
    void Visit(const fs::path& entry) {
        std::error_code error;
        if (fs::is_directory(entry, error)) {
            if (Recursive_) {
                Walk(entry);
            }
        } else if (HasLogExtension(entry)) {
            Out_.push_back({entry, std::nullopt});
        }
    }

    bool Recursive_;
    std::vector<TBatchInput>& Out_;
    std::set<TFolderId> Visited_;
};

}  // namespace

bool HasLogExtension(const fs::path& path) {
    std::string extension = path.extension().native();
    std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return extension == ".ktz";
}

std::vector<TBatchInput> ExpandBatchInputs(const std::vector<std::string>& arguments,
                                           bool recursive) {
    std::vector<TBatchInput> inputs;
    for (const std::string& argument : arguments) {
        const fs::path path(argument);
        std::error_code error;
        if (!fs::is_directory(path, error)) {
            inputs.push_back({path, std::nullopt});
            continue;
        }
        const size_t before = inputs.size();
        TFolderWalk(recursive, inputs).Walk(path);
        if (inputs.size() == before) {
            inputs.push_back({path, std::string(recursive ? "no .ktz file in this folder or below"
                                                          : "no .ktz file in this folder")});
        }
    }
    return inputs;
}
