#pragma once

#include <cstdint>
#include <string>

// Logs of older software are shown as text only: neither checked nor charted.
inline constexpr int32_t MinimumSoftwareVersion = 790;

// What the header of the loaded log says. Reset at the start of every load.
struct TLogState {
    bool DataLoaded = false;
    std::string LicenseText;
    std::string SignatureText;
    int32_t SoftwareVersion = 0;
    int32_t Offset = 0;
    int32_t Angle = 0;
    int32_t FirstRecordLine = -1;  // index after signature lines were removed; -1 = none

    bool operator==(const TLogState&) const = default;
};
