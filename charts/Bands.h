#pragma once
// The band rule (which GSM band a channel lies in, and where on a channel axis) and the names
// and sizes of the band images: the small bitmaps the charts draw as labels and markers.

#include <QPoint>
#include <QSize>
#include <array>
#include <cstdint>

// Position of a GSM channel on a channel axis: 1..194 for the 900 band (955..1023 first,
// then 0..124), the channel itself for the 1800 band (512..885), 0 for any other channel.
int32_t ChannelPosition(int32_t channel);

enum class TBand { None, Gsm900, Gsm1800 };

// The band a ChannelPosition result belongs to.
TBand BandOfPosition(int32_t position);

enum TBandImageIndex : int {
    BandImageEdge,
    BandImageG900,
    BandImageG1800,
    BandImageEG900,
    BandImageGsmr,
    BandImageLevelTop,
    BandImageLevelMid,
    BandImageLevelBottom,
    BandImageUmts,
    BandImageCount
};

// Resource names, in index order.
inline constexpr std::array<const char*, BandImageCount> BandImageNames{
    "EDGE", "G900", "G1800", "EG900", "GSMR", "LVLTOP", "LVLMID", "LVLBTM", "UMTS"};

// The pictures' sizes, fixed with the resources; layouts use them without loading images.
inline constexpr std::array<QSize, BandImageCount> BandImageSizes{
    QSize(6, 7),  QSize(35, 7), QSize(41, 7), QSize(41, 7), QSize(29, 7),
    QSize(13, 7), QSize(13, 7), QSize(13, 7), QSize(27, 7)};
