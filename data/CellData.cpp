#include "data/CellData.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t FieldHigh = 115;
constexpr int32_t FirstBlockField = 14;
constexpr int32_t BlockFieldCount = 11;
constexpr int32_t MaxCi = 65534;
constexpr int32_t MaxLac = 65533;

// The one-letter service codes; the index is the code, 0 standing for "none".
constexpr char ServiceLetters[] = {' ', '-', 'G', 'E', 'U', 'H'};
constexpr uint8_t ServiceCodeCount = sizeof(ServiceLetters);

int32_t FieldInteger(const std::string& field) {
    return StrToIntDef(field, NoValue);
}

int32_t TrimmedFieldInteger(const std::string& field) {
    return FieldInteger(TrimText(field));
}

const TDelimiterSet& FieldDelimiters() {
    static const TDelimiterSet delimiters = [] {
        TDelimiterSet set;
        set.set(static_cast<unsigned char>(';'));
        return set;
    }();
    return delimiters;
}

struct IdentityTexts {
    std::string Hex;
    std::string Text;
    std::string ZeroText;
    int32_t Value;
};

IdentityTexts MakeIdentityTexts(int32_t value, int32_t max) {
    if (!InRange(value, 1, max)) {
        return {"-", "-", "-----", NoValue};
    }
    return {HexText(static_cast<uint32_t>(value), 4), FormatInt(value, 5), FormatInt(value, 0, 5),
            value};
}

void FillCell(TCell& cell, const std::vector<std::string>& fields, size_t b) {
    cell.Present = true;
    cell.Channel = FieldInteger(fields[b + 1]);
    cell.Level = FieldInteger(fields[b + 2]);
    cell.Ci = FieldInteger(fields[b + 3]);
    cell.Lac = FieldInteger(fields[b + 4]);
    cell.Plmn = FieldInteger(fields[b + 5]);
    cell.C1 = FieldInteger(fields[b + 6]);
    cell.C2 = FieldInteger(fields[b + 7]);
    cell.BCode = FieldInteger(fields[b + 8]);
    cell.ServiceLetter = ServiceFromText(fields[b + 9]);
}

}  // namespace

TCell::TCell() {
    Reset();
}

void TCell::Reset() {
    Present = false;
    Channel = NoValue;
    Level = NoValue;
    C1 = NoValue;
    C2 = NoValue;
    BCode = NoValue;
    ServiceLetter = 0;
}

std::string TCell::BCodeText() const {
    if (BCode == NoValue) {
        return "-";
    }
    return DashOrInt(BCode % 8);
}

char TCell::ServiceChar() const {
    return ServiceLetter < ServiceCodeCount ? ServiceLetters[ServiceLetter] : ' ';
}

TCellData::TCellData() = default;

void TCellData::Clear() {
    Clear(Now());
}

void TCellData::Clear(TDateTime now) {
    for (TCell& cell : Cells) {
        cell.Reset();
    }
    LineValue11 = NoValue;
    LineValue12 = NoValue;
    LineValue13 = NoValue;
    SetIdentity(0, 0, now);
}

void TCellData::ParseLine(const std::string& line) {
    Clear();
    // The fields keep their room from one line to the next.
    thread_local std::vector<std::string> fields;
    SplitFields(line, fields, FieldHigh, false, FieldDelimiters());
    if (fields[0] != "03") {
        return;
    }
    Timestamp = ParseLogTime(fields[1]);
    if (!(Timestamp > 0)) {
        return;
    }
    if (fields[2] != "U" || fields[8] != "2G") {
        return;
    }
    LineValue11 = FieldInteger(fields[11]);
    LineValue12 = FieldInteger(fields[12]);
    LineValue13 = FieldInteger(fields[13]);
    Cells[0].Plmn = FieldInteger(fields[7]);
    SetIdentity(TrimmedFieldInteger(fields[5]), TrimmedFieldInteger(fields[6]), Timestamp);
    for (size_t k = 0; k < Cells.size(); ++k) {
        const size_t b = FirstBlockField + BlockFieldCount * k;
        if (fields[b] == "16") {
            FillCell(Cells[k], fields, b);
        }
    }
}

void TCellData::SetIdentity(int32_t ci, int32_t lac, TDateTime time) {
    Timestamp = time;
    IdentityTexts ciTexts = MakeIdentityTexts(ci, MaxCi);
    CiHex = std::move(ciTexts.Hex);
    CiText = std::move(ciTexts.Text);
    CiZeroText = std::move(ciTexts.ZeroText);
    Ci = ciTexts.Value;
    Cells[0].Ci = Ci;
    IdentityTexts lacTexts = MakeIdentityTexts(lac, MaxLac);
    LacHex = std::move(lacTexts.Hex);
    LacText = std::move(lacTexts.Text);
    LacZeroText = std::move(lacTexts.ZeroText);
    Lac = lacTexts.Value;
    Cells[0].Lac = Lac;
    CellKey = CiHex + LacHex;
    IdentityValid = Ci != NoValue && Lac != NoValue;
}

const TCell& TCellData::Cell(int32_t index) const {
    return InRange(index, 0, CellCount - 1) ? Cells[static_cast<size_t>(index)] : Cells[0];
}

TCell& TCellData::Cell(int32_t index) {
    return InRange(index, 0, CellCount - 1) ? Cells[static_cast<size_t>(index)] : Cells[0];
}

int32_t TCellData::ServingPlmn() const {
    return Cells[0].Plmn;
}
int32_t TCellData::ServingChannel() const {
    return Cells[0].Channel;
}
int32_t TCellData::ServingLevel() const {
    return Cells[0].Level;
}
int32_t TCellData::ServingBCode() const {
    return Cells[0].BCode;
}

void TCellData::GetStrongestLevels(int32_t* levels, int32_t high) const {
    std::array<int32_t, CellCount> sorted{};
    for (size_t i = 0; i < Cells.size(); ++i) {
        sorted[i] = Cells[i].Level;
    }
    // The serving level stays first; a smaller magnitude is a stronger neighbour.
    std::sort(sorted.begin() + 1, sorted.end());
    const int32_t last = std::min(high, CellCount - 1);
    for (int32_t i = 0; i <= last; ++i) {
        levels[i] = sorted[static_cast<size_t>(i)];
    }
}

std::string DashOrInt(int32_t value) {
    return value == NoValue ? "-" : FormatInt(value, 0);
}

std::string IdentityColumnText(int32_t value) {
    return InRange(value, 1, MaxCi) ? FormatInt(value, 5) : std::string(5, ' ');
}

uint8_t ServiceFromText(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    for (uint8_t code = 1; code < ServiceCodeCount; ++code) {
        if (text[0] == ServiceLetters[code]) {
            return code;
        }
    }
    return 0;
}
