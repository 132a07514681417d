// Runs the record line scripts of records.txt and samples.txt: each case edits a record line,
// parses it into a TCellData and checks fields, strongest levels and the cell text lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "charts/CellTextLines.h"
#include "data/CellData.h"
#include "tests/support/TestSupport.h"
#include "tests/support/VectorFile.h"

using testsupport::ParseVectorInt;
using testsupport::ReadVectorTable;
using testsupport::VectorRow;

namespace {

constexpr double OneSecond = 1.0 / 86400.0;

std::vector<std::string> SplitLine(const std::string& line) {
    return testsupport::SplitAt(line, ";");
}

std::string JoinLine(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : ";") + fields[i];
    }
    return line;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    return text.empty() ? std::vector<std::string>{} : testsupport::SplitAt(text, "\r\n");
}

std::string IntText(int64_t value) {
    return value == NoValue ? "NoValue" : std::to_string(value);
}

std::optional<int64_t> CellField(const TCell& cell, const std::string& name) {
    if (name == "Present")
        return cell.Present ? 1 : 0;
    if (name == "Channel")
        return cell.Channel;
    if (name == "Level")
        return cell.Level;
    if (name == "C1")
        return cell.C1;
    if (name == "C2")
        return cell.C2;
    if (name == "BCode")
        return cell.BCode;
    if (name == "Ci")
        return cell.Ci;
    if (name == "Lac")
        return cell.Lac;
    if (name == "Plmn")
        return cell.Plmn;
    if (name == "ServiceLetter")
        return cell.ServiceLetter;
    return std::nullopt;
}

std::optional<int64_t> RecordInt(const TCellData& data, const std::string& key) {
    if (key == "Ci")
        return data.Ci;
    if (key == "Lac")
        return data.Lac;
    if (key == "LineValue11")
        return data.LineValue11;
    if (key == "LineValue12")
        return data.LineValue12;
    if (key == "LineValue13")
        return data.LineValue13;
    if (key == "ServingPlmn")
        return data.ServingPlmn();
    if (key == "ServingChannel")
        return data.ServingChannel();
    if (key == "ServingLevel")
        return data.ServingLevel();
    if (key == "ServingBCode")
        return data.ServingBCode();
    static const std::regex cellKey(R"(Cells\[(\d)\]\.(\w+))");
    static const std::regex cellCallKey(R"(Cell\((-?\d+)\)\.(\w+))");
    std::smatch match;
    if (std::regex_match(key, match, cellKey)) {
        return CellField(data.Cells.at(std::stoul(match[1])), match[2]);
    }
    if (std::regex_match(key, match, cellCallKey)) {
        return CellField(data.Cell(std::stoi(match[1])), match[2]);
    }
    return std::nullopt;
}

std::optional<std::string> RecordText(const TCellData& data, const std::string& key) {
    if (key == "CiHex")
        return data.CiHex;
    if (key == "LacHex")
        return data.LacHex;
    if (key == "CiText")
        return data.CiText;
    if (key == "LacText")
        return data.LacText;
    if (key == "CiZeroText")
        return data.CiZeroText;
    if (key == "LacZeroText")
        return data.LacZeroText;
    if (key == "CellKey")
        return data.CellKey;
    if (key == "IdentityValid")
        return data.IdentityValid ? "true" : "false";
    if (key == "Current")
        return ServingCellLine(data);
    return std::nullopt;
}

void CheckTimestamp(const TCellData& data, const std::string& expected) {
    if (expected == "now") {
        // The moment of clearing, which lies between the case's start and this check.
        EXPECT_NEAR(Now(), data.Timestamp, 5 * OneSecond);
        return;
    }
    EXPECT_NEAR(std::stod(expected), data.Timestamp, 1e-9);
}

void CheckStrongest(const TCellData& data, const std::vector<std::string>& expected) {
    constexpr int32_t Guard = -777;
    std::vector<int32_t> levels(expected.size() + 1, Guard);
    data.GetStrongestLevels(levels.data(), static_cast<int32_t>(expected.size()) - 1);
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(IntText(ParseVectorInt(expected[i])), IntText(levels[i])) << "entry " << i;
    }
    EXPECT_EQ(Guard, levels.back()) << "wrote beyond levels[high]";
}

void CheckExpectation(const TCellData& data, const VectorRow& row) {
    const std::string& key = row.At(1);
    const std::vector<std::string> values(row.Cells.begin() + 2, row.Cells.end());
    if (key == "Timestamp") {
        CheckTimestamp(data, row.At(2));
    } else if (key == "Strongest") {
        CheckStrongest(data, values);
    } else if (key == "Neighbors") {
        const std::string text = NeighborLines(data);
        EXPECT_EQ(values, SplitCrLf(text));
        EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos);
    } else if (auto number = RecordInt(data, key)) {
        EXPECT_EQ(IntText(ParseVectorInt(row.At(2))), IntText(*number));
    } else if (auto text = RecordText(data, key)) {
        EXPECT_EQ(row.Cells.size() > 2 ? row.At(2) : "", *text);
    } else {
        throw std::runtime_error("unknown key " + key);
    }
}

struct ScriptCase {
    std::string Name;
    std::vector<VectorRow> Rows;
};

std::vector<ScriptCase> ReadScript(const std::string& fileName, std::string& base) {
    std::vector<ScriptCase> cases;
    for (VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, fileName)) {
        if (row.At(0) == "base") {
            base = row.At(1);
        } else if (row.At(0) == "case") {
            cases.push_back({row.Where + " " + row.At(1), {}});
        } else if (cases.empty()) {
            throw std::runtime_error(row.Where + ": row before the first case");
        } else {
            cases.back().Rows.push_back(std::move(row));
        }
    }
    return cases;
}

void RunRow(const VectorRow& row, TCellData& data, std::vector<std::string>& fields) {
    const std::string& op = row.At(0);
    if (op == "set") {
        const auto index = static_cast<size_t>(row.IntAt(1));
        fields.resize(std::max(fields.size(), index + 1));
        fields[index] = row.At(2);
    } else if (op == "keep") {
        fields.resize(static_cast<size_t>(row.IntAt(1)));
    } else if (op == "line") {
        fields = SplitLine(row.At(1));
    } else if (op == "parse") {
        data.ParseLine(JoinLine(fields));
    } else if (op == "expect") {
        CheckExpectation(data, row);
    } else {
        throw std::runtime_error("unknown row " + op);
    }
}

void RunCase(const ScriptCase& script, const std::string& base) {
    SCOPED_TRACE(script.Name);
    auto data = std::make_unique<TCellData>();
    std::vector<std::string> fields = SplitLine(base);
    for (const VectorRow& row : script.Rows) {
        SCOPED_TRACE("row at line " + std::to_string(row.LineNumber));
        try {
            RunRow(row, *data, fields);
        } catch (const std::exception& error) {
            ADD_FAILURE() << "broken script row: " << error.what();
        }
    }
}

void RunScript(const std::string& fileName) {
    std::string base;
    const std::vector<ScriptCase> cases = ReadScript(fileName, base);
    ASSERT_FALSE(cases.empty());
    for (const ScriptCase& script : cases) {
        RunCase(script, base);
    }
}

}  // namespace

TEST(RecordScript, FieldRulesAndTextLines) {
    RunScript("records.txt");
}

TEST(RecordScript, SampleLogDirections) {
    RunScript("samples.txt");
}
