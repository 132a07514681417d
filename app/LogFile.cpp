#include "LogFile.h"

#include <array>
#include <fstream>
#include <limits>
#include <system_error>

#include "Errors.h"
#include "Utilities.h"

std::vector<std::string> SplitLogLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    size_t start = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines.emplace_back(text.substr(start, pos - start));
        pos += (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
        start = pos;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

namespace {

std::string ReadWholeFile(const std::filesystem::path& path) {
    // Only regular files: a directory opens as a stream and fails to read later, a device
    // such as /dev/zero never ends and a pipe may block for ever.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw EFOpenError(path.string());
    }
    std::ifstream in(path, std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        throw EFOpenError(path.string());
    }
    std::string bytes;
    std::array<char, 1 << 16> chunk;
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        bytes.append(chunk.data(), static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw EFOpenError(path.string());
    }
    return bytes;
}

bool StartsWith(const std::string& line, std::string_view key) {
    return line.compare(0, key.size(), key) == 0;
}

// The value of a header line: everything from 1-based position `first` on.
std::string ValueFrom(const std::string& line, size_t first) {
    return first - 1 < line.size() ? line.substr(first - 1) : std::string();
}

}  // namespace

std::vector<std::string> ReadLogLines(const std::filesystem::path& path) {
    return SplitLogLines(ReadWholeFile(path));
}

std::vector<std::string> ScanLogHeader(std::vector<std::string>& lines, TLogState& state) {
    // The kept lines are collected into a new list: erasing each signature line from the
    // middle of a vector would make a file full of signature lines quadratic.
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        if (StartsWith(line, "LICENSE:")) {
            state.LicenseText = ValueFrom(line, 10);
        } else if (StartsWith(line, "SIGNATURE:")) {
            state.SignatureText = ValueFrom(line, 12);
            continue;
        } else if (StartsWith(line, "SWVERSION:")) {
            state.SoftwareVersion = StrToIntDef(ValueFrom(line, 18).substr(0, 3), 0);
        } else if (StartsWith(line, "OFFSET:")) {
            state.Offset = StrToIntDef(ValueFrom(line, 9), 0);
        } else if (StartsWith(line, "ANGLE:")) {
            state.Angle = StrToIntDef(ValueFrom(line, 8), 0);
        } else if (StartsWith(line, "03;") && state.FirstRecordLine == -1 &&
                   kept.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            state.FirstRecordLine = static_cast<int32_t>(kept.size());
        }
        kept.push_back(std::move(line));
    }
    lines.clear();
    return kept;
}
