#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <regex>

#include "data/Utilities.h"
#include "tests/support/VectorFile.h"

using testsupport::ParseVectorInt;
using testsupport::ReadVectorTable;
using testsupport::VectorRow;

namespace {

TDelimiterSet DelimitersOf(const std::string& bytes) {
    TDelimiterSet set;
    for (char c : bytes) {
        set.set(static_cast<unsigned char>(c));
    }
    return set;
}

bool ParseBool(const std::string& text) {
    if (text != "true" && text != "false") {
        throw std::runtime_error("not a boolean in vector file: " + text);
    }
    return text == "true";
}

// The conversion rule written as two patterns, to cross-check the hand-written scanner.
std::optional<int32_t> ReferenceStrToInt(const std::string& text) {
    static const std::regex decimal(R"( *([+-]?)([0-9]+))");
    static const std::regex hex(R"( *(\$|x|X|0x|0X)([0-9a-fA-F]+))");
    std::smatch match;
    if (std::regex_match(text, match, decimal)) {
        const std::string digits = match[2].str();
        int64_t value = std::stoll(digits);
        value = match[1] == "-" ? -value : value;
        if (value < std::numeric_limits<int32_t>::min() ||
            value > std::numeric_limits<int32_t>::max()) {
            return std::nullopt;
        }
        return static_cast<int32_t>(value);
    }
    if (std::regex_match(text, match, hex)) {
        const std::string digits = match[2].str();
        const size_t significant = digits.find_first_not_of('0');
        if (significant != std::string::npos && digits.size() - significant > 8) {
            return std::nullopt;
        }
        return static_cast<int32_t>(static_cast<uint32_t>(std::stoull(digits, nullptr, 16)));
    }
    return std::nullopt;
}

}  // namespace

TEST(StrToIntDef, Vectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "strtoint.txt")) {
        SCOPED_TRACE(row.Where + " text \"" + row.At(0) + "\"");
        EXPECT_EQ(row.IntAt(2), StrToIntDef(row.At(0), row.IntAt(1)));
    }
}

TEST(StrToIntDef, AgreesWithThePatternsOnRandomTexts) {
    static constexpr char Alphabet[] = " +-$xX0123456789aFgG";
    std::mt19937 random(4711);
    std::uniform_int_distribution<size_t> length(0, 12);
    std::uniform_int_distribution<size_t> pick(0, sizeof(Alphabet) - 2);
    for (int round = 0; round < 20000; ++round) {
        std::string text(length(random), ' ');
        for (char& c : text) {
            c = Alphabet[pick(random)];
        }
        SCOPED_TRACE("text \"" + text + "\"");
        EXPECT_EQ(ReferenceStrToInt(text).value_or(-999), StrToIntDef(text, -999));
    }
}

TEST(SplitFields, Vectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "split.txt")) {
        SCOPED_TRACE(row.Where);
        const int32_t high = row.IntAt(1);
        // Stale entries must be overwritten, also those beyond the stored count.
        std::vector<std::string> fields(static_cast<size_t>(high) + 1, "stale");
        const int32_t count =
            SplitFields(row.At(0), fields, high, ParseBool(row.At(2)), DelimitersOf(row.At(3)));
        EXPECT_EQ(row.IntAt(4), count);
        const std::vector<std::string> expected(row.Cells.begin() + 5, row.Cells.end());
        EXPECT_EQ(expected, fields);
    }
}

TEST(SplitFields, GrowsASmallArrayAndLeavesExtraEntriesAlone) {
    std::vector<std::string> fields;
    EXPECT_EQ(2, SplitFields("a;b", fields, 3, false, DelimitersOf(";")));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "", ""}), fields);

    std::vector<std::string> longer(5, "keep");
    EXPECT_EQ(1, SplitFields("x", longer, 1, false, DelimitersOf(";")));
    EXPECT_EQ((std::vector<std::string>{"x", "", "keep", "keep", "keep"}), longer);
}

TEST(SplitFields, NegativeHighStoresNothing) {
    std::vector<std::string> fields{"keep"};
    EXPECT_EQ(0, SplitFields("a;b", fields, -1, false, DelimitersOf(";")));
    EXPECT_EQ(std::vector<std::string>{"keep"}, fields);
}

// Splitting everywhere and cutting to high + 1 pieces gives the same fields.
TEST(SplitFields, AgreesWithSplittingEverywhereOnRandomTexts) {
    static constexpr char Alphabet[] = "ab;,";
    std::mt19937 random(815);
    std::uniform_int_distribution<size_t> length(0, 14);
    std::uniform_int_distribution<size_t> pick(0, sizeof(Alphabet) - 2);
    std::uniform_int_distribution<int32_t> highs(0, 6);
    for (int round = 0; round < 5000; ++round) {
        std::string text(length(random), ' ');
        for (char& c : text) {
            c = Alphabet[pick(random)];
        }
        const bool skipEmpty = round % 2 == 1;
        const int32_t high = highs(random);
        std::vector<std::string> pieces;
        std::string piece;
        for (char c : text + ';') {
            if (c == ';' || c == ',') {
                if (!skipEmpty || !piece.empty()) {
                    pieces.push_back(piece);
                }
                piece.clear();
            } else {
                piece += c;
            }
        }
        // A delimiter at the very end (or an empty text) adds no field.
        if (!skipEmpty && !pieces.empty() && pieces.back().empty()) {
            pieces.pop_back();
        }
        const size_t count = std::min(pieces.size(), static_cast<size_t>(high) + 1);
        pieces.resize(static_cast<size_t>(high) + 1);
        std::vector<std::string> fields;
        SCOPED_TRACE("text \"" + text + "\" high " + std::to_string(high));
        EXPECT_EQ(static_cast<int32_t>(count),
                  SplitFields(text, fields, high, skipEmpty, DelimitersOf(";,")));
        EXPECT_EQ(pieces, fields);
    }
}

TEST(InRange, BoundsAreInclusive) {
    struct Case {
        int32_t value, lo, hi;
        bool expected;
    };
    constexpr int32_t MinInt = std::numeric_limits<int32_t>::min();
    constexpr int32_t MaxInt = std::numeric_limits<int32_t>::max();
    for (const Case& c :
         {Case{5, 5, 5, true}, Case{5, 6, 4, false}, Case{4, 5, 9, false}, Case{10, 5, 9, false},
          Case{MinInt, MinInt, MaxInt, true}, Case{MaxInt, MinInt, MaxInt, true},
          Case{MaxInt, MinInt, MaxInt - 1, false}}) {
        EXPECT_EQ(c.expected, InRange(c.value, c.lo, c.hi))
            << c.value << " in " << c.lo << ".." << c.hi;
    }
}

TEST(ColumnFormatters, FormatIntAndHexText) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "columns.txt")) {
        SCOPED_TRACE(row.Where);
        if (row.At(0) == "FormatInt") {
            EXPECT_EQ(row.At(4), FormatInt(ParseVectorInt(row.At(1)), row.IntAt(2), row.IntAt(3)));
        } else if (row.At(0) == "HexText") {
            EXPECT_EQ(row.At(3),
                      HexText(static_cast<uint32_t>(ParseVectorInt(row.At(1))), row.IntAt(2)));
        }
    }
}

TEST(TrimText, CutsBlanksAndControlsButNotHighBytes) {
    EXPECT_EQ("a b", TrimText(" \t\r\n\x01 a b\x1F \0"));
    EXPECT_EQ("", TrimText(std::string(" \0\x20", 3)));
    EXPECT_EQ("\xA0x\xFF", TrimText(" \xA0x\xFF "));
    EXPECT_EQ(" a", TrimRightText(" a \r\n"));
    EXPECT_EQ("", TrimRightText(""));
}
