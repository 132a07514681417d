#pragma once

#include <array>
#include <cstdint>

#include "data/CellData.h"

// One antenna direction of the loaded log. The selector is identified by its index
// (rb0..rb7 of the window), which never changes.
struct TDirectionSlot {
    int Selector = 0;
    TCellData* Measurement = nullptr;  // owned by the loader, never replaced
    std::array<int32_t, 4> Levels{};
    bool HasData = false;
};

inline constexpr int DirectionCount = 8;
using TDirectionSlots = std::array<TDirectionSlot, DirectionCount>;
