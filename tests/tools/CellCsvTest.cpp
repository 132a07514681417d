// The CSV writer shared by norva-inspect --csv and the window's export.
#include <gtest/gtest.h>

#include <string>

#include "app/CellCsv.h"

namespace {

struct QuotingCase {
    const char* name;
    std::string field;
    std::string written;
};

void PrintTo(const QuotingCase& c, std::ostream* os) {
    *os << c.name;
}

class CsvQuotingTest : public testing::TestWithParam<QuotingCase> {};

TEST_P(CsvQuotingTest, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvField(GetParam().field), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Rfc4180, CsvQuotingTest,
                         testing::Values(QuotingCase{"plain", "DE-01", "DE-01"},
                                         QuotingCase{"empty", "", ""},
                                         QuotingCase{"blanks_kept_bare", " 967 ", " 967 "},
                                         QuotingCase{"negative", "-52", "-52"},
                                         QuotingCase{"comma", "Nord, Mitte", "\"Nord, Mitte\""},
                                         QuotingCase{"quote_doubled", "a \"b\"", "\"a \"\"b\"\"\""},
                                         QuotingCase{"only_quote", "\"", "\"\"\"\""},
                                         QuotingCase{"carriage_return", "a\rb", "\"a\rb\""},
                                         QuotingCase{"line_feed", "a\nb", "\"a\nb\""},
                                         QuotingCase{"crlf", "a\r\nb", "\"a\r\nb\""},
                                         QuotingCase{"semicolon_bare", "a;b", "a;b"},
                                         QuotingCase{"utf8_bare", "K\xc3\xb6ln \xe2\x82\xac",
                                                     "K\xc3\xb6ln \xe2\x82\xac"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CsvRowTest, JoinsWithCommasAndEndsWithCrLf) {
    EXPECT_EQ(CsvRow({"a", "", "b,c", "\""}), "a,,\"b,c\",\"\"\"\"\r\n");
    EXPECT_EQ(CsvRow({}), "\r\n");
    EXPECT_EQ(CellCsvHeader(),
              "file,direction,time,cell,channel,level_dbm,network,lac,ci,c1,c2,b,d,verdict,"
              "sha256,likely_cause\r\n");
}

TEST(CsvRowTest, NoReceivedCellWithoutDirectionData) {
    TCellData record;
    TDirectionSlots directions{};
    for (TDirectionSlot& slot : directions) {
        slot.Measurement = &record;
    }
    EXPECT_EQ(CellCsvRows("x.ktz", directions, TSignatureVerdict::Valid), "");
}

TEST(IsoTimeTest, RoundsToTheSecondFromTheDayCount) {
    EXPECT_EQ(IsoTimeText(0), "1899-12-30T00:00:00");
    EXPECT_EQ(IsoTimeText(45426.5), "2024-05-14T12:00:00");
    EXPECT_EQ(IsoTimeText(-1.25), "1899-12-28T18:00:00");
    EXPECT_EQ(IsoTimeText(1.0 - 0.4 / 86400), "1899-12-31T00:00:00");
}

}  // namespace
