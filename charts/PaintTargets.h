#pragma once

#include <QImage>
#include <string>

// Where a chart copies its finished image: the window's paint box, or a headless
// holder of the last image. Not owned by the chart.
class TPaintBox {
  public:
    virtual ~TPaintBox() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Called once per drawing with the whole finished image, when the box shows drawings.
    virtual void ShowImage(const QImage& image) = 0;
    // False for a box that nobody looks at (headless): the chart then paints nothing until
    // its image is asked for, and hands no image over.
    virtual bool ShowsDrawings() const { return true; }
};

// A text label that receives one of the chart's text blocks (byte text).
class TTextLabel {
  public:
    virtual ~TTextLabel() = default;
    virtual void SetText(const std::string& text) = 0;
};
