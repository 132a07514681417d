#pragma once

#include <QImage>
#include <QLabel>
#include <QProxyStyle>
#include <QWidget>
#include <functional>
#include <string>

#include "charts/PaintTargets.h"

// A paint box of the main window: shows the last image a chart handed over. On every
// paint it first asks its handler to redraw, which hands a fresh image back at once.
class TWindowPaintBox : public QWidget, public TPaintBox {
    Q_OBJECT

  public:
    explicit TWindowPaintBox(QWidget* parent = nullptr);

    int Width() const override { return width(); }
    int Height() const override { return height(); }
    void ShowImage(const QImage& image) override;

    const QImage& Image() const { return Image_; }

    // Must not throw: it runs inside the window system's paint event.
    std::function<void()> OnPaint;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage Image_;
    bool Painting_ = false;
};

// A label that receives a chart's text block and sizes itself to it.
class TWindowLabel : public QLabel, public TTextLabel {
    Q_OBJECT

  public:
    explicit TWindowLabel(QWidget* parent = nullptr);

    void SetText(const std::string& text) override;
};

// Group boxes in the look the layout was drawn for: the caption sits on the frame's
// top line instead of above it, so the controls at the top of a box stay clear of it.
class TGroupBoxStyle : public QProxyStyle {
    Q_OBJECT

  public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget = nullptr) const override;
};

// Sets a label's text and lets it grow or shrink to fit, as far as its maximum width.
void SetAutoSizedText(QLabel& label, const QString& text);
