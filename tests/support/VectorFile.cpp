#include "tests/support/VectorFile.h"

#include <limits>
#include <stdexcept>
#include <string_view>

#include "tests/support/TestSupport.h"

namespace testsupport {

namespace {

bool IsPadding(char c) {
    return c == ' ' || c == '\t';
}

// Reads the escape whose backslash is at text[pos]; returns the byte and advances pos.
char ReadEscape(std::string_view text, std::size_t& pos) {
    if (pos + 1 >= text.size()) {
        throw std::runtime_error("dangling backslash");
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
                throw std::runtime_error("short \\x escape");
            }
            const std::string byte = FromHex(text.substr(pos, 2));
            if (byte.size() != 1) {
                throw std::runtime_error("bad \\x escape");
            }
            pos += 2;
            return byte[0];
        }
        default:
            return kind;
    }
}

std::vector<std::string> SplitCells(std::string_view line) {
    std::vector<std::string> cells;
    std::size_t pos = 0;
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
                throw std::runtime_error("unterminated quote");
            }
            ++pos;
            while (pos < line.size() && IsPadding(line[pos])) {
                ++pos;
            }
        } else {
            std::size_t keep = 0;  // length of the cell up to its last non-padding byte
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
        cells.push_back(std::move(cell));
        if (pos >= line.size()) {
            return cells;
        }
        if (line[pos] != '|') {
            throw std::runtime_error("text after a quoted cell");
        }
        ++pos;
    }
}

struct Line {
    VectorRow Row;  // no cells for a blank line or a comment
    bool Blank = false;
};

std::vector<Line> ReadLines(const std::string& folder, const std::string& fileName) {
    const std::string contents = ReadFile(TestDataPath(folder, fileName));
    std::vector<Line> lines;
    int lineNumber = 0;
    for (const std::string_view text : SplitLines(contents)) {
        ++lineNumber;
        Line line{{fileName + ":" + std::to_string(lineNumber), lineNumber, {}}, false};
        const std::size_t first = text.find_first_not_of(" \t");
        line.Blank = first == std::string_view::npos;
        if (!line.Blank && text[first] != '#') {
            try {
                line.Row.Cells = SplitCells(text);
            } catch (const std::runtime_error& error) {
                throw std::runtime_error(line.Row.Where + ": " + error.what());
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace

const std::string& VectorRow::At(std::size_t index) const {
    if (index >= Cells.size()) {
        throw std::out_of_range(Where + ": no cell " + std::to_string(index));
    }
    return Cells[index];
}

std::int32_t VectorRow::IntAt(std::size_t index) const {
    return static_cast<std::int32_t>(ParseVectorInt(At(index)));
}

const std::string& VectorBlock::Text(const std::string& key) const {
    const auto found = Fields.find(key);
    if (found == Fields.end()) {
        throw std::runtime_error(Source + ": no field " + key);
    }
    return found->second;
}

std::string VectorBlock::Bytes(const std::string& key) const {
    return FromHex(Text(key));
}

std::int64_t ParseVectorInt(const std::string& text) {
    if (text == "NoValue" || text == "INT32_MAX") {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (text == "true" || text == "false") {
        return text == "true" ? 1 : 0;
    }
    if (text == "INT32_MIN") {
        return std::numeric_limits<std::int32_t>::min();
    }
    std::size_t used = 0;
    std::int64_t value = 0;
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

std::vector<VectorRow> ReadVectorTable(const std::string& folder, const std::string& fileName) {
    std::vector<VectorRow> rows;
    for (Line& line : ReadLines(folder, fileName)) {
        if (!line.Row.Cells.empty()) {
            rows.push_back(std::move(line.Row));
        }
    }
    return rows;
}

std::vector<VectorBlock> ReadVectors(const std::string& folder, const std::string& fileName) {
    std::vector<VectorBlock> blocks;
    VectorBlock current;
    const auto flush = [&] {
        if (!current.Fields.empty()) {
            blocks.push_back(std::move(current));
        }
        current = VectorBlock{};
    };
    for (const Line& line : ReadLines(folder, fileName)) {
        const VectorRow& row = line.Row;
        if (line.Blank) {
            flush();
            continue;
        }
        if (row.Cells.empty()) {
            continue;  // a comment
        }
        if (row.Cells.size() != 2) {
            throw std::runtime_error(row.Where + ": a block row is \"key | value\"");
        }
        if (current.Fields.empty()) {
            current.Source = row.Where;
        }
        if (!current.Fields.emplace(row.Cells[0], row.Cells[1]).second) {
            throw std::runtime_error(row.Where + ": key " + row.Cells[0] + " twice in a block");
        }
    }
    flush();
    return blocks;
}

}  // namespace testsupport
