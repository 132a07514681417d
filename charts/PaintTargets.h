#pragma once

#include <string>

class TChartCanvas;

// Where a chart shows itself: the window's paint box, or a headless box nobody looks at.
// Not owned by the chart.
class TPaintBox {
  public:
    virtual ~TPaintBox() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Called after every drawing, when the box shows drawings; the box makes the chart's image
    // from it (drawing/ChartImage.h).
    virtual void ShowChart(const TChartCanvas& chart) = 0;
    // False for a box that nobody looks at (headless): the chart then only keeps its drawings
    // until its image is asked for.
    virtual bool ShowsDrawings() const { return true; }
};

// A text label that receives one of the chart's text blocks (byte text).
class TTextLabel {
  public:
    virtual ~TTextLabel() = default;
    virtual void SetText(const std::string& text) = 0;
};
