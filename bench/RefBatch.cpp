// norva-ref-batch: the loop a user would write to check a delivery of logs with OpenSSL's
// libcrypto, the yardstick of bench/run-small-logs. Never part of the product.
//
//   norva-ref-batch [-j N | -jN] [FOLDER]
//
// Checks the .ktz files of FOLDER and of every folder below it (in name order), or without a
// FOLDER the paths read from standard input, one per line, on N threads (default 2) in one
// process: each thread takes the next file, reads it and verifies it as norva-ref-verify does.
// Prints "PATH: verdict" for every file in input order once all are done. Exit status: 0 all
// OK, 1 a signature NOT VALID, 2 a file without a verdict, 3 a file that could not be read.

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/RefSign.h"
#include "tests/support/TestSupport.h"

namespace {

bool IsLogName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".ktz";
}

std::vector<std::string> LogsBelow(const std::filesystem::path& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && IsLogName(entry.path())) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> PathsFromStandardInput() {
    std::vector<std::string> paths;
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty()) {
            paths.push_back(line);
        }
    }
    return paths;
}

// The verdict of every file, nothing for one that could not be read.
std::vector<std::optional<refsign::TVerdict>> CheckAll(const std::vector<std::string>& paths,
                                                       unsigned jobs) {
    std::vector<std::optional<refsign::TVerdict>> verdicts(paths.size());
    std::atomic<size_t> next{0};
    const auto worker = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) {
            try {
                verdicts[i] = refsign::Verify(testsupport::ReadFile(paths[i]));
            } catch (const std::exception&) {
                verdicts[i].reset();
            }
        }
    };
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < jobs; ++t) {
        threads.emplace_back(worker);
    }
    threads.clear();
    return verdicts;
}

int StatusOf(const std::optional<refsign::TVerdict>& verdict) {
    return verdict ? refsign::ExitStatus(*verdict) : 3;
}

int Run(int argc, char** argv) {
    unsigned jobs = 2;
    std::optional<std::string> folder;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("-j")) {
            const std::string_view value =
                arg.size() > 2 ? arg.substr(2) : (i + 1 < argc ? argv[++i] : "");
            const auto [end, error] =
                std::from_chars(value.data(), value.data() + value.size(), jobs);
            if (error != std::errc() || end != value.data() + value.size() || jobs == 0) {
                throw std::invalid_argument("-j takes a number of threads");
            }
        } else if (!folder) {
            folder = arg;
        } else {
            throw std::invalid_argument("usage: norva-ref-batch [-j N] [FOLDER]");
        }
    }
    const std::vector<std::string> paths = folder ? LogsBelow(*folder) : PathsFromStandardInput();
    const std::vector<std::optional<refsign::TVerdict>> verdicts = CheckAll(paths, jobs);
    int status = 0;
    std::string out;
    for (size_t i = 0; i < paths.size(); ++i) {
        out += paths[i];
        out += ": ";
        out += verdicts[i] ? refsign::VerdictText(*verdicts[i]) : "cannot be read";
        out += '\n';
        status = std::max(status, StatusOf(verdicts[i]));
    }
    std::cout << out << paths.size() << " files\n";
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "norva-ref-batch: " << e.what() << '\n';
        return 64;
    }
}
