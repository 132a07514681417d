#include "app/LogFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>

#include "app/Errors.h"
#include "data/Utilities.h"

namespace {

// The first `c` in [from, end), or `end`.
const char* FindByte(const char* from, const char* end, char c) {
    if (from == end) {
        return end;
    }
    const void* found = std::memchr(from, c, static_cast<size_t>(end - from));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

}  // namespace

std::vector<std::string> SplitLogLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    // The next CR and the next LF are each searched for only once they lie behind the line
    // start, so every byte is looked at once for each: a file with only one kind of line end
    // stays linear.
    const char* nextCr = FindByte(start, end, '\r');
    const char* nextLf = FindByte(start, end, '\n');
    while (start != end) {
        if (nextCr < start) {
            nextCr = FindByte(start, end, '\r');
        }
        if (nextLf < start) {
            nextLf = FindByte(start, end, '\n');
        }
        const char* const lineEnd = std::min(nextCr, nextLf);
        lines.emplace_back(start, lineEnd);
        if (lineEnd == end) {
            break;
        }
        const bool crLf = *lineEnd == '\r' && lineEnd + 1 != end && lineEnd[1] == '\n';
        start = lineEnd + (crLf ? 2 : 1);
    }
    return lines;
}

namespace {

struct TFileBytes {
    std::unique_ptr<char[]> Bytes;
    size_t Size = 0;
};

// Reads the file into one buffer of its size, left uninitialised: a buffer that doubles
// while it grows holds two copies at the end, and zero-filling first is a wasted pass over
// a large log. A file that grows meanwhile is read to its new end.
TFileBytes ReadWholeFile(const std::filesystem::path& path) {
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
    const std::uintmax_t expected = std::filesystem::file_size(path, ec);
    TFileBytes file;
    size_t capacity = ec ? 0 : static_cast<size_t>(expected);
    file.Bytes = std::make_unique_for_overwrite<char[]>(capacity);
    while (true) {
        in.read(file.Bytes.get() + file.Size, static_cast<std::streamsize>(capacity - file.Size));
        file.Size += static_cast<size_t>(in.gcount());
        if (!in || in.peek() == std::ifstream::traits_type::eof()) {
            break;
        }
        capacity = std::max<size_t>(2 * capacity, size_t{1} << 16);
        auto larger = std::make_unique_for_overwrite<char[]>(capacity);
        std::memcpy(larger.get(), file.Bytes.get(), file.Size);
        file.Bytes = std::move(larger);
    }
    if (in.bad()) {
        throw EFOpenError(path.string());
    }
    return file;
}

// The value of a header line: everything from 1-based position `first` on.
std::string ValueFrom(const std::string& line, size_t first) {
    return first - 1 < line.size() ? line.substr(first - 1) : std::string();
}

}  // namespace

std::vector<std::string> ReadLogLines(const std::filesystem::path& path) {
    const TFileBytes file = ReadWholeFile(path);
    return SplitLogLines(std::string_view(file.Bytes.get(), file.Size));
}

std::vector<std::string> ScanLogHeader(std::vector<std::string>& lines, TLogState& state) {
    // The kept lines are collected into a new list: erasing each signature line from the
    // middle of a vector would make a file full of signature lines quadratic.
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    for (std::string& line : lines) {
        if (line.starts_with("LICENSE:")) {
            state.LicenseText = ValueFrom(line, 10);
        } else if (line.starts_with("SIGNATURE:")) {
            state.SignatureText = ValueFrom(line, 12);
            continue;
        } else if (line.starts_with("SWVERSION:")) {
            state.SoftwareVersion = StrToIntDef(ValueFrom(line, 18).substr(0, 3), 0);
        } else if (line.starts_with("OFFSET:")) {
            state.Offset = StrToIntDef(ValueFrom(line, 9), 0);
        } else if (line.starts_with("ANGLE:")) {
            state.Angle = StrToIntDef(ValueFrom(line, 8), 0);
        } else if (line.starts_with("03;") && state.FirstRecordLine == -1 &&
                   kept.size() <= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            state.FirstRecordLine = static_cast<int32_t>(kept.size());
        }
        kept.push_back(std::move(line));
    }
    lines.clear();
    return kept;
}
