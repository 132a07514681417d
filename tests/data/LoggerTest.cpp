#include <gtest/gtest.h>

#include <ctime>

#include "data/Logger.h"
#include "tests/support/VectorFile.h"

using testsupport::ReadVectorTable;
using testsupport::VectorRow;

TEST(ParseLogTime, Vectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "logtime.txt")) {
        SCOPED_TRACE(row.Where + " text \"" + row.At(0) + "\"");
        const double expected = std::stod(row.At(1));
        const TDateTime actual = ParseLogTime(row.At(0));
        if (expected == 0) {
            EXPECT_EQ(0.0, actual);
        } else {
            EXPECT_NEAR(expected, actual, 1e-9);
        }
    }
}

// Local time is within a day of the UTC date-time, whatever the machine's zone.
TEST(Now, IsTheCurrentDateTime) {
    const double utcDays = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    const TDateTime first = Now();
    const TDateTime second = Now();
    EXPECT_NEAR(utcDays, first, 1.0);
    EXPECT_LE(first, second);
}
