#pragma once

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "charts/MonitorGraphics.h"
#include "data/CellData.h"
#include "drawing/BandImages.h"
#include "drawing/ChartImage.h"

// A paint box that keeps the image of the chart as it last showed it.
class RecordingPaintBox : public TPaintBox {
  public:
    RecordingPaintBox(int width, int height) : Width_(width), Height_(height) {}
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    void ShowChart(const TChartCanvas& chart) override {
        Shown = ChartImage(chart);
        ++ShowCount;
    }

    QImage Shown;
    int ShowCount = 0;

  private:
    int Width_;
    int Height_;
};

// A paint box nobody looks at, as norva-inspect's: the chart draws only when its image is
// asked for and hands over nothing.
class UnshownPaintBox : public RecordingPaintBox {
  public:
    using RecordingPaintBox::RecordingPaintBox;
    bool ShowsDrawings() const override { return false; }
};

class RecordingLabel : public TTextLabel {
  public:
    void SetText(const std::string& text) override {
        Text = text;
        ++SetCount;
    }

    std::string Text = "untouched";
    int SetCount = 0;
};

// The colour of a pixel as an opaque QRgb, comparable with the chart colours.
inline TRgb PixelAt(const QImage& image, int x, int y) {
    return image.pixel(x, y) | ~RGB_MASK;
}

inline int CountPixels(const QImage& image, TRgb color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += PixelAt(image, x, y) == color ? 1 : 0;
        }
    }
    return count;
}

// A record of cells for the charts to draw.
inline constexpr int32_t HomePlmn = 26210;
inline constexpr int32_t HomeLac = 4711;
inline constexpr uint8_t EdgeService = 3;

struct GivenCell {
    int32_t Channel;
    int32_t Level;
    int32_t Plmn = HomePlmn;
    int32_t Lac = HomeLac;
    uint8_t Service = 2;
};

// The serving cell first; every other cell keeps the values of a cleared record.
inline TCellData Record(const std::vector<GivenCell>& cells) {
    TCellData data;
    data.Lac = HomeLac;
    for (size_t i = 0; i < cells.size(); ++i) {
        TCell& cell = data.Cells[i];
        cell.Present = true;
        cell.Channel = cells[i].Channel;
        cell.Level = cells[i].Level;
        cell.Plmn = cells[i].Plmn;
        cell.Lac = cells[i].Lac;
        cell.ServiceLetter = cells[i].Service;
    }
    return data;
}
