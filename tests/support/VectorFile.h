#pragma once
// The one format of the repository's test-vector files.
//
// A line holds cells separated by "|"; lines that are blank or start with "#" hold none. A bare
// cell is trimmed of blanks; a cell in double quotes keeps its text exactly. In both, "\\",
// "\"", "\|", "\t", "\r", "\n", "\0" and "\xHH" stand for the byte they name.
//
// A file is read either as a table, one row per line, or as blocks of "key | value" rows
// separated by blank lines (for cases with many long fields, such as cipher vectors).

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct VectorRow {
    std::string Where;  // "file:line", for failure messages
    int LineNumber = 0;
    std::vector<std::string> Cells;

    const std::string& At(std::size_t index) const;
    std::int32_t IntAt(std::size_t index) const;
};

struct VectorBlock {
    std::string Source;  // file and line of its first row, for failure messages
    std::map<std::string, std::string> Fields;

    bool Has(const std::string& key) const { return Fields.count(key) != 0; }
    const std::string& Text(const std::string& key) const;
    std::string Bytes(const std::string& key) const;  // a hexadecimal field as bytes
};

// The file fileName of the data folder folder.
std::vector<VectorRow> ReadVectorTable(const std::string& folder, const std::string& fileName);
std::vector<VectorBlock> ReadVectors(const std::string& folder, const std::string& fileName);

// Integers in vector files are decimal, with "NoValue", "INT32_MIN" and "INT32_MAX" as names;
// "true" and "false" stand for 1 and 0.
std::int64_t ParseVectorInt(const std::string& text);

}  // namespace testsupport
