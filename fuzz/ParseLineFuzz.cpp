// TCellData::ParseLine of any line: the record is either left cleared or holds exactly what
// the line's fields say, its identity texts agree with its numbers, and a record that parsed
// another line before ends the same apart from what Clear leaves alone.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "data/CellData.h"
#include "data/Logger.h"
#include "data/Utilities.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr size_t FieldCount = 116;
constexpr size_t FirstBlock = 14;
constexpr size_t BlockFields = 11;

// The fields by a plain split at ";" (no SplitFields), missing ones empty.
std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields(FieldCount);
    size_t index = 0;
    for (char c : line) {
        if (c == ';') {
            if (++index == FieldCount) {
                break;
            }
        } else {
            fields[index].push_back(c);
        }
    }
    return fields;
}

// The serving identity: a trimmed integer within 1..highest, else no value.
int32_t IdentityOf(const std::string& field, int32_t highest) {
    const int32_t value = StrToIntDef(TrimText(field), NoValue);
    return InRange(value, 1, highest) ? value : NoValue;
}

bool Accepted(const std::vector<std::string>& fields) {
    return fields[0] == "03" && ParseLogTime(fields[1]) > 0 && fields[2] == "U" &&
           fields[8] == "2G";
}

void CheckCleared(const TCellData& record) {
    FUZZ_CHECK(!record.IdentityValid);
    FUZZ_CHECK(record.Ci == NoValue && record.Lac == NoValue);
    FUZZ_CHECK(record.CellKey == "--" && record.CiZeroText == "-----");
    FUZZ_CHECK(record.LineValue11 == NoValue && record.LineValue13 == NoValue);
    for (const TCell& cell : record.Cells) {
        FUZZ_CHECK(!cell.Present && cell.Level == NoValue && cell.ServiceLetter == 0);
    }
}

void CheckIdentityTexts(const TCellData& record) {
    const bool ciValid = record.Ci != NoValue;
    const bool lacValid = record.Lac != NoValue;
    FUZZ_CHECK(!ciValid || (record.Ci >= 1 && record.Ci <= 65534));
    FUZZ_CHECK(!lacValid || (record.Lac >= 1 && record.Lac <= 65533));
    FUZZ_CHECK(record.CiHex == (ciValid ? HexText(static_cast<uint32_t>(record.Ci), 4) : "-"));
    FUZZ_CHECK(record.LacHex == (lacValid ? HexText(static_cast<uint32_t>(record.Lac), 4) : "-"));
    FUZZ_CHECK(record.CiText.size() == (ciValid ? 5 : 1));
    FUZZ_CHECK(record.CiZeroText.size() == 5 && record.LacZeroText.size() == 5);
    FUZZ_CHECK(record.CellKey == record.CiHex + record.LacHex);
    FUZZ_CHECK(record.IdentityValid == (ciValid && lacValid));
}

void CheckCells(const TCellData& record, const std::vector<std::string>& fields) {
    for (size_t k = 0; k < TCellData::CellCount; ++k) {
        const TCell& cell = record.Cells[k];
        const size_t b = FirstBlock + BlockFields * k;
        FUZZ_CHECK(cell.Present == (fields[b] == "16"));
        if (!cell.Present) {
            FUZZ_CHECK(cell.Channel == NoValue && cell.Level == NoValue && cell.C1 == NoValue);
            continue;
        }
        FUZZ_CHECK(cell.Channel == StrToIntDef(fields[b + 1], NoValue));
        FUZZ_CHECK(cell.Level == StrToIntDef(fields[b + 2], NoValue));
        FUZZ_CHECK(cell.Ci == StrToIntDef(fields[b + 3], NoValue));
        FUZZ_CHECK(cell.BCode == StrToIntDef(fields[b + 8], NoValue));
        FUZZ_CHECK(cell.ServiceLetter == ServiceFromText(fields[b + 9]));
        FUZZ_CHECK(cell.ServiceLetter <= 5);
        FUZZ_CHECK(cell.BCodeText().size() <= 2);
    }
}

void CheckStrongestLevels(const TCellData& record) {
    std::array<int32_t, TCellData::CellCount> levels{};
    record.GetStrongestLevels(levels.data(), TCellData::CellCount - 1);
    FUZZ_CHECK(levels[0] == record.ServingLevel());
    FUZZ_CHECK(std::is_sorted(levels.begin() + 1, levels.end()));
    std::array<int32_t, TCellData::CellCount - 1> neighbours{};
    for (size_t k = 1; k < TCellData::CellCount; ++k) {
        neighbours[k - 1] = record.Cells[k].Level;
    }
    FUZZ_CHECK(std::is_permutation(neighbours.begin(), neighbours.end(), levels.begin() + 1));
}

// Two records agree on everything a line sets; Ci, Lac and Plmn of cells without a block
// may keep an earlier line's values.
void CheckSameRecord(const TCellData& a, const TCellData& b) {
    FUZZ_CHECK(a.IdentityValid == b.IdentityValid && a.CellKey == b.CellKey);
    FUZZ_CHECK(a.CiText == b.CiText && a.LacText == b.LacText);
    FUZZ_CHECK(a.LineValue12 == b.LineValue12);
    FUZZ_CHECK(a.Timestamp == b.Timestamp);
    for (size_t k = 0; k < TCellData::CellCount; ++k) {
        const TCell& x = a.Cells[k];
        const TCell& y = b.Cells[k];
        FUZZ_CHECK(x.Present == y.Present && x.Level == y.Level && x.C2 == y.C2);
        FUZZ_CHECK(!x.Present || (x.Ci == y.Ci && x.Lac == y.Lac && x.Plmn == y.Plmn));
    }
}

const std::string FullLine =
    "03;20240514102231;U;0;0;4711;1004;26201;2G;0;0;1;2;3;16;967;52;4711;1004;26201;21;7;1;G;0;"
    "16;753;91;51690;24879;26201;1;11;3;E;0";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(AsText(data, size));
    const std::vector<std::string> fields = Fields(line);
    const bool accepted = Accepted(fields);

    TCellData record;
    record.ParseLine(line);
    CheckIdentityTexts(record);
    CheckStrongestLevels(record);
    TCellData reused;
    reused.ParseLine(FullLine);
    reused.ParseLine(line);
    if (!accepted) {
        CheckCleared(record);
        CheckCleared(reused);
        return 0;
    }
    FUZZ_CHECK(record.Timestamp == ParseLogTime(fields[1]));
    FUZZ_CHECK(record.Ci == IdentityOf(fields[5], 65534));
    FUZZ_CHECK(record.Lac == IdentityOf(fields[6], 65533));
    FUZZ_CHECK(record.LineValue11 == StrToIntDef(fields[11], NoValue));
    CheckCells(record, fields);
    CheckSameRecord(record, reused);
    return 0;
}
