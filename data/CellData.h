#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "data/Logger.h"
#include "data/Utilities.h"

class TCell {
  public:
    TCell();

    void Reset();
    std::string BCodeText() const;
    char ServiceChar() const;

    bool Present = false;
    int32_t Channel = NoValue;
    int32_t Level = NoValue;
    int32_t C1 = NoValue;
    int32_t C2 = NoValue;
    int32_t BCode = NoValue;
    int32_t Ci = 0;
    int32_t Lac = 0;
    int32_t Plmn = 0;
    uint8_t ServiceLetter = 0;
};

class TCellData {
  public:
    static constexpr int CellCount = 9;

    TCellData();
    virtual ~TCellData() = default;

    void Clear();
    // Clear() with the time of now already taken (one look at the clock for several records).
    void Clear(TDateTime now);
    void ParseLine(const std::string& line);
    void SetIdentity(int32_t ci, int32_t lac, TDateTime time);

    // Cells[index] for 0..8, the serving cell for any other index.
    const TCell& Cell(int32_t index) const;
    TCell& Cell(int32_t index);

    int32_t ServingPlmn() const;
    int32_t ServingChannel() const;
    int32_t ServingLevel() const;
    int32_t ServingBCode() const;

    // Writes levels[0..high]: the serving level, then the strongest neighbour levels.
    void GetStrongestLevels(int32_t* levels, int32_t high) const;

    std::array<TCell, CellCount> Cells;
    std::string CiHex;
    std::string LacHex;
    std::string CiText;
    std::string LacText;
    std::string CiZeroText;
    std::string LacZeroText;
    int32_t Ci = 0;
    int32_t Lac = 0;
    int32_t LineValue11 = NoValue;
    int32_t LineValue12 = NoValue;
    int32_t LineValue13 = NoValue;
    std::string CellKey;
    bool IdentityValid = false;
    TDateTime Timestamp = 0;
};

std::string DashOrInt(int32_t value);
std::string IdentityColumnText(int32_t value);
uint8_t ServiceFromText(const std::string& text);
