#include <gtest/gtest.h>

#include <set>

#include "data/MonitorData.h"
#include "tests/support/VectorFile.h"

using testsupport::ReadVectorTable;
using testsupport::VectorRow;

TEST(PlmnText, Vectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "plmn.txt")) {
        SCOPED_TRACE(row.Where);
        EXPECT_EQ(row.At(1), PlmnText(row.IntAt(0)));
    }
}

TEST(CountryTable, HasOneTwoLetterTextPerCountry) {
    std::set<int32_t> codes;
    for (const TCountryEntry& entry : CountryTable) {
        EXPECT_TRUE(codes.insert(entry.Mcc).second) << "MCC " << entry.Mcc << " twice";
        EXPECT_EQ(2u, std::string(entry.Text).size());
        EXPECT_EQ(entry.Text, CountryText(entry.Mcc));
    }
    for (int32_t mcc : {0, 235, 311, 316, 999, -262, 2147483}) {
        EXPECT_EQ("??", CountryText(mcc)) << "MCC " << mcc;
    }
}
