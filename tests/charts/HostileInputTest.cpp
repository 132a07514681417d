// Lines no device writes: none of them may raise, crash or leave a record half-valid.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charts/CellTextLines.h"
#include "data/CellData.h"
#include "data/Utilities.h"
#include "tests/support/VectorFile.h"

using testsupport::ReadVectorTable;
using testsupport::VectorRow;

namespace {

std::string SampleLine() {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "samples.txt")) {
        if (row.At(0) == "line") {
            return row.At(1);
        }
    }
    throw std::runtime_error("samples.txt holds no line");
}

// What every record must satisfy, whatever line it came from.
void CheckConsistent(const TCellData& data) {
    EXPECT_EQ(data.IdentityValid, InRange(data.Ci, 1, 65534) && InRange(data.Lac, 1, 65533));
    const std::string current = ServingCellLine(data);
    EXPECT_EQ(data.IdentityValid, !current.empty());
    const std::string neighbors = NeighborLines(data);
    if (!neighbors.empty()) {
        EXPECT_GT(static_cast<unsigned char>(neighbors.back()), ' ');
    }
    size_t lineCount = neighbors.empty() ? 0 : 1;
    for (size_t pos = neighbors.find("\r\n"); pos != std::string::npos;
         pos = neighbors.find("\r\n", pos + 2)) {
        ++lineCount;
    }
    EXPECT_LE(lineCount, 6u);
    int32_t levels[4];
    data.GetStrongestLevels(levels, 3);
    EXPECT_EQ(data.ServingLevel(), levels[0]);
    EXPECT_LE(levels[1], levels[2]);
    EXPECT_LE(levels[2], levels[3]);
}

}  // namespace

TEST(HostileInput, TwoHundredFieldsUseTheFirst116) {
    std::string line = SampleLine();
    for (int i = 116; i < 200; ++i) {
        line += ";16";
    }
    TCellData data;
    data.ParseLine(line);
    EXPECT_TRUE(data.IdentityValid);
    TCellData reference;
    reference.ParseLine(SampleLine());
    EXPECT_EQ(ServingCellLine(reference), ServingCellLine(data));
    EXPECT_EQ(NeighborLines(reference), NeighborLines(data));
    CheckConsistent(data);
}

TEST(HostileInput, MegabyteLines) {
    const std::string sample = SampleLine();
    const std::vector<std::string> lines{
        std::string(1 << 20, ';'),
        std::string(1 << 20, 'x'),
        sample + std::string(1 << 20, ';'),
        sample.substr(0, 100) + std::string(1 << 20, '7') + sample.substr(100),
        "03;20240514102231;U;1;0;1;1;26201;2G" + std::string(1 << 20, '1'),
    };
    for (const std::string& line : lines) {
        TCellData data;
        data.ParseLine(line);
        CheckConsistent(data);
    }
}

TEST(HostileInput, NulBytesAreOrdinaryBytes) {
    std::string line = SampleLine();
    TCellData clean;
    clean.ParseLine(line);
    // A NUL inside a field that is not interpreted changes nothing ...
    line.insert(line.find(";U;") + 3, std::string(1, '\0'));
    TCellData withNul;
    withNul.ParseLine(line);
    EXPECT_EQ(ServingCellLine(clean), ServingCellLine(withNul));
    // ... and one in the cell identity makes it unusable rather than cutting the text.
    const std::string text = SampleLine();
    const size_t fifth = text.find(";1004;") + 1;
    TCellData cut;
    cut.ParseLine(text.substr(0, fifth) +
                  std::string("10\0"
                              "04",
                              5) +
                  text.substr(fifth + 4));
    EXPECT_FALSE(cut.IdentityValid);
    CheckConsistent(cut);
}

TEST(HostileInput, RandomBinaryLines) {
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> length(0, 600);
    TCellData data;  // reused, as a direction slot reuses its record
    for (int round = 0; round < 2000; ++round) {
        std::string line = round % 2 == 0 ? "03;20240514102231;U;1;0;" : "";
        for (size_t i = length(random); i > 0; --i) {
            const int b = byte(random);
            line += b < 64 ? ';' : static_cast<char>(b);
        }
        data.ParseLine(line);
        CheckConsistent(data);
    }
}

TEST(HostileInput, SampleLinesWithExtremeFields) {
    const std::vector<std::string> values{"",           "-2147483648", "2147483647", "$FFFFFFFF",
                                          "0",          "-1",          "65535",      "99999999999",
                                          "\xFF\xFE",   "16",          "E",          " ",
                                          "2147483648", "-0",          "0x80000000", "955"};
    std::mt19937 random(99);
    std::uniform_int_distribution<size_t> field(0, 120);
    std::uniform_int_distribution<size_t> value(0, values.size() - 1);
    const std::string sample = SampleLine();
    TCellData data;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> fields;
        SplitFields(sample, fields, 130, false, TDelimiterSet().set(';'));
        for (int edit = 0; edit < 12; ++edit) {
            fields[field(random)] = values[value(random)];
        }
        std::string line = fields[0];
        for (size_t i = 1; i < fields.size(); ++i) {
            line += ';' + fields[i];
        }
        data.ParseLine(line);
        CheckConsistent(data);
    }
}
