#include "tests/support/TestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testsupport {

namespace {

int HexDigit(char c, std::string_view hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    throw std::runtime_error("bad hex digit in " + std::string(hex));
}

const char* Find(const char* from, const char* end, char c) {
    const void* found =
        from == end ? nullptr : std::memchr(from, c, static_cast<std::size_t>(end - from));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

}  // namespace

std::string FromHex(std::string_view hex) {
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    int pending = -1;
    for (char c : hex) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        const int digit = HexDigit(c, hex);
        if (pending < 0) {
            pending = digit;
        } else {
            bytes += static_cast<char>(pending * 16 + digit);
            pending = -1;
        }
    }
    if (pending >= 0) {
        throw std::runtime_error("odd hex length in " + std::string(hex));
    }
    return bytes;
}

std::string ToHex(std::string_view bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * bytes.size());
    for (unsigned char b : bytes) {
        hex += Digits[b >> 4];
        hex += Digits[b & 15];
    }
    return hex;
}

std::string RandomBytes(std::mt19937& random, std::size_t count) {
    std::string bytes(count, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file || !std::filesystem::is_regular_file(path)) {
        throw std::runtime_error("cannot open " + path);
    }
    const std::streamoff size = file.tellg();
    if (size < 0) {
        throw std::runtime_error("cannot read " + path);
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(bytes.data(), size)) {
        throw std::runtime_error("cannot read " + path);
    }
    return bytes;
}

// The next LF is looked for once and kept while it lies ahead, so that a text of CR LF lines
// is scanned about once.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    const char* lf = Find(start, end, '\n');
    while (start != end) {
        if (lf < start) {
            lf = Find(start, end, '\n');
        }
        const char* const lineEnd = Find(start, lf, '\r');
        lines.emplace_back(start, static_cast<std::size_t>(lineEnd - start));
        if (lineEnd == end) {
            break;
        }
        start = lineEnd + ((*lineEnd == '\r' && lineEnd + 1 != end && lineEnd[1] == '\n') ? 2 : 1);
    }
    return lines;
}

std::vector<std::string> SplitAt(std::string_view text, std::string_view separator) {
    if (separator.empty()) {
        throw std::invalid_argument("SplitAt needs a separator");
    }
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        pieces.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + separator.size();
    }
}

std::string TestDataPath(std::string_view folder, std::string_view fileName) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path.append(fileName);
}

}  // namespace testsupport
