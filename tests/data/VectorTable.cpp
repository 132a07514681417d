#include "tests/data/VectorTable.h"

#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace {

bool IsPadding(char c) {
    return c == ' ' || c == '\t';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    throw std::runtime_error(std::string("bad hex digit in vector file: ") + c);
}

// Reads the escape whose backslash is at text[pos]; returns the byte and advances pos.
char ReadEscape(const std::string& text, size_t& pos) {
    if (pos + 1 >= text.size()) {
        throw std::runtime_error("dangling backslash in vector file");
    }
    const char kind = text[pos + 1];
    pos += 2;
    switch (kind) {
        case 't':
            return '\t';
        case 'r':
            return '\r';
        case 'n':
            return '\n';
        case '0':
            return '\0';
        case 'x': {
            if (pos + 2 > text.size()) {
                throw std::runtime_error("short \\x escape in vector file");
            }
            const int value = HexValue(text[pos]) * 16 + HexValue(text[pos + 1]);
            pos += 2;
            return static_cast<char>(value);
        }
        default:
            return kind;
    }
}

std::vector<std::string> SplitCells(const std::string& line) {
    std::vector<std::string> cells;
    size_t pos = 0;
    while (true) {
        while (pos < line.size() && IsPadding(line[pos])) {
            ++pos;
        }
        std::string cell;
        if (pos < line.size() && line[pos] == '"') {
            ++pos;
            while (pos < line.size() && line[pos] != '"') {
                cell += line[pos] == '\\' ? ReadEscape(line, pos) : line[pos++];
            }
            if (pos >= line.size()) {
                throw std::runtime_error("unterminated quote in vector file: " + line);
            }
            ++pos;
            while (pos < line.size() && IsPadding(line[pos])) {
                ++pos;
            }
        } else {
            size_t keep = 0;  // length of the cell up to its last non-padding byte
            while (pos < line.size() && line[pos] != '|') {
                if (line[pos] == '\\') {
                    cell += ReadEscape(line, pos);
                    keep = cell.size();
                } else {
                    cell += line[pos];
                    if (!IsPadding(line[pos])) {
                        keep = cell.size();
                    }
                    ++pos;
                }
            }
            cell.resize(keep);
        }
        cells.push_back(cell);
        if (pos >= line.size()) {
            return cells;
        }
        if (line[pos] != '|') {
            throw std::runtime_error("text after a quoted cell in vector file: " + line);
        }
        ++pos;
    }
}

}  // namespace

const std::string& VectorRow::At(size_t index) const {
    if (index >= Cells.size()) {
        throw std::out_of_range("vector row " + std::to_string(LineNumber) + " has no cell " +
                                std::to_string(index));
    }
    return Cells[index];
}

int32_t VectorRow::IntAt(size_t index) const {
    return static_cast<int32_t>(ParseVectorInt(At(index)));
}

int64_t ParseVectorInt(const std::string& text) {
    if (text == "NoValue" || text == "INT32_MAX") {
        return std::numeric_limits<int32_t>::max();
    }
    if (text == "true" || text == "false") {
        return text == "true" ? 1 : 0;
    }
    if (text == "INT32_MIN") {
        return std::numeric_limits<int32_t>::min();
    }
    size_t used = 0;
    int64_t value = 0;
    try {
        value = std::stoll(text, &used, 10);
    } catch (const std::logic_error&) {
        used = 0;
    }
    if (used == 0 || used != text.size()) {
        throw std::runtime_error("not an integer in vector file: " + text);
    }
    return value;
}

std::vector<VectorRow> ReadVectorTable(const std::string& fileName) {
    const std::string path = std::string(NORVA_TEST_DATA) + "/" + fileName;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open vector file " + path);
    }
    std::vector<VectorRow> rows;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        rows.push_back({lineNumber, SplitCells(line)});
    }
    return rows;
}

std::string RowTrace(const std::string& fileName, const VectorRow& row) {
    std::ostringstream trace;
    trace << fileName << ":" << row.LineNumber;
    return trace.str();
}
