#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One row of a vector file: its cells and the line number it came from.
struct VectorRow {
    int LineNumber = 0;
    std::vector<std::string> Cells;

    const std::string& At(size_t index) const;
    int32_t IntAt(size_t index) const;
};

// Reads a vector file of the test data folder.
//
// Rows are lines of cells separated by "|"; blank lines and lines starting with "#" are
// skipped. A bare cell is trimmed of blanks; a cell in double quotes keeps its text exactly.
// In both, "\\", "\"", "\|", "\t", "\r", "\n", "\0" and "\xHH" stand for the byte they name.
std::vector<VectorRow> ReadVectorTable(const std::string& fileName);

// Integers in vector files are decimal, with "NoValue", "INT32_MIN" and "INT32_MAX" as names;
// "true" and "false" stand for 1 and 0.
int64_t ParseVectorInt(const std::string& text);

// A short trace label "file:line" for a row.
std::string RowTrace(const std::string& fileName, const VectorRow& row);
