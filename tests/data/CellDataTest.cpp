#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/CellData.h"
#include "tests/support/VectorFile.h"

using testsupport::ReadVectorTable;
using testsupport::VectorRow;

TEST(TCellData, NewRecordIsEmpty) {
    const auto data = std::make_unique<TCellData>();
    EXPECT_FALSE(data->IdentityValid);
    EXPECT_EQ(0, data->Ci);
    EXPECT_EQ(0, data->Lac);
    EXPECT_EQ(0.0, data->Timestamp);
    EXPECT_EQ("", data->CiText);
    EXPECT_EQ(NoValue, data->LineValue11);
    for (const TCell& cell : data->Cells) {
        EXPECT_FALSE(cell.Present);
        EXPECT_EQ(NoValue, cell.Level);
        EXPECT_EQ(NoValue, cell.BCode);
        EXPECT_EQ(0, cell.Ci);
        EXPECT_EQ(0, cell.Plmn);
        EXPECT_EQ(0, cell.ServiceLetter);
    }
}

TEST(TCellData, SetIdentityVectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "identity.txt")) {
        SCOPED_TRACE(row.Where);
        TCellData data;
        data.SetIdentity(row.IntAt(0), row.IntAt(1), 1234.5);
        EXPECT_EQ(1234.5, data.Timestamp);
        EXPECT_EQ(row.At(2), data.CiHex);
        EXPECT_EQ(row.At(3), data.CiText);
        EXPECT_EQ(row.At(4), data.CiZeroText);
        EXPECT_EQ(row.IntAt(5), data.Ci);
        EXPECT_EQ(row.IntAt(5), data.Cells[0].Ci);
        EXPECT_EQ(row.At(6), data.LacHex);
        EXPECT_EQ(row.At(7), data.LacText);
        EXPECT_EQ(row.At(8), data.LacZeroText);
        EXPECT_EQ(row.IntAt(9), data.Lac);
        EXPECT_EQ(row.IntAt(9), data.Cells[0].Lac);
        EXPECT_EQ(row.At(10), data.CellKey);
        EXPECT_EQ(row.At(11) == "true", data.IdentityValid);
    }
}

TEST(TCellData, ClearKeepsOnlyCellIdentities) {
    TCellData data;
    data.SetIdentity(5, 6, 100.0);
    data.Cells[4].Level = 50;
    data.Cells[4].Ci = 9;
    data.Cells[4].Plmn = 26201;
    data.Cells[4].ServiceLetter = 3;
    data.LineValue12 = 1;
    data.Clear();
    EXPECT_FALSE(data.IdentityValid);
    EXPECT_EQ("--", data.CellKey);
    EXPECT_EQ("-----", data.LacZeroText);
    EXPECT_EQ(NoValue, data.LineValue12);
    EXPECT_EQ(NoValue, data.Cells[4].Level);
    EXPECT_EQ(0, data.Cells[4].ServiceLetter);
    EXPECT_EQ(9, data.Cells[4].Ci);
    EXPECT_EQ(26201, data.Cells[4].Plmn);
    EXPECT_NEAR(Now(), data.Timestamp, 5.0 / 86400.0);
}

TEST(ColumnFormatters, CellColumnVectors) {
    for (const VectorRow& row : ReadVectorTable(NORVA_TEST_DATA, "columns.txt")) {
        SCOPED_TRACE(row.Where);
        const std::string& formatter = row.At(0);
        if (formatter == "DashOrInt") {
            EXPECT_EQ(row.At(2), DashOrInt(row.IntAt(1)));
        } else if (formatter == "IdentityColumnText") {
            EXPECT_EQ(row.At(2), IdentityColumnText(row.IntAt(1)));
        } else if (formatter == "BCodeText") {
            TCell cell;
            cell.BCode = row.IntAt(1);
            EXPECT_EQ(row.At(2), cell.BCodeText());
        } else if (formatter == "ServiceFromText") {
            EXPECT_EQ(row.IntAt(2), ServiceFromText(row.At(1)));
        } else if (formatter == "ServiceChar") {
            TCell cell;
            cell.ServiceLetter = static_cast<uint8_t>(row.IntAt(1));
            EXPECT_EQ(row.At(2), std::string(1, cell.ServiceChar()));
        }
    }
}

// Callers size the array for high + 1 entries of at most nine; nothing beyond nine is written.
TEST(TCellData, StrongestLevelsNeverWriteBeyondTheNineCells) {
    TCellData data;
    data.Cells[0].Level = 60;
    data.Cells[5].Level = 70;
    std::vector<int32_t> levels(12, -1);
    data.GetStrongestLevels(levels.data(), 11);
    EXPECT_EQ((std::vector<int32_t>{60, 70, NoValue, NoValue, NoValue, NoValue, NoValue, NoValue,
                                    NoValue, -1, -1, -1}),
              levels);
    std::vector<int32_t> untouched(2, -1);
    data.GetStrongestLevels(untouched.data(), -1);
    EXPECT_EQ((std::vector<int32_t>{-1, -1}), untouched);
}
