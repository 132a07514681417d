// Replays every file of the given corpus folders (or single files) through a fuzz target,
// so the targets' invariants and every input that once broke them run in the normal suite.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& where) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(where)) {
        for (const auto& entry : std::filesystem::directory_iterator(where)) {
            if (entry.is_regular_file()) {
                inputs.push_back(entry.path());
            }
        }
    } else if (std::filesystem::is_regular_file(where)) {
        inputs.push_back(where);
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

bool Replay(const std::filesystem::path& input) {
    std::string bytes;
    try {
        bytes = testsupport::ReadFile(input.string());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return false;
    }
    // Each input on its own heap block, so that a read past its end is caught.
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    std::fprintf(stderr, "replay %s (%zu bytes)\n", input.c_str(), copy.size());
    LLVMFuzzerTestOneInput(copy.data(), copy.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::filesystem::path> inputs = InputsOf(argv[i]);
        if (inputs.empty()) {
            std::fprintf(stderr, "no corpus inputs in %s\n", argv[i]);
            return 1;
        }
        for (const std::filesystem::path& input : inputs) {
            if (!Replay(input)) {
                return 1;
            }
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
