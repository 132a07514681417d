#include "app/Outcome.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

std::string WhyNotCheckedText(const TLogState& state, bool empty) {
    if (empty) {
        return "the file is empty";
    }
    if (state.SoftwareVersion == 0) {
        return "no software version, not a NORVA-G log";
    }
    return "software version " + std::to_string(state.SoftwareVersion) + " is below " +
           std::to_string(MinimumSoftwareVersion);
}

std::string OpenFailureReason(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) {
        return ec.message() + '.';
    }
    if (std::filesystem::is_directory(status)) {
        return "It is a folder, not a file.";
    }
    if (!std::filesystem::is_regular_file(status) && !std::filesystem::is_fifo(status)) {
        return "It is not a regular file.";
    }
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return std::error_code(errno, std::generic_category()).message() + '.';
    }
    ::close(descriptor);
    return "It could not be read to its end.";
}
