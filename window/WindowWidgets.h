#pragma once

#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QLabel>
#include <QProxyStyle>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "charts/PaintTargets.h"

// A paint box of the main window: shows the image of the chart as it last drew. On every
// paint it first asks its handler to redraw, which shows the fresh drawing at once. The image
// is made when it is shown or asked for, not at every drawing: a load draws each chart several
// times before the window paints once.
class TWindowPaintBox : public QWidget, public TPaintBox {
    Q_OBJECT

  public:
    explicit TWindowPaintBox(QWidget* parent = nullptr);

    int Width() const override { return width(); }
    int Height() const override { return height(); }
    // The chart must outlive the box's next paint or image, which read its drawings.
    void ShowChart(const TChartCanvas& chart) override;

    const QImage& Image();

    // Must not throw: it runs inside the window system's paint event.
    std::function<void()> OnPaint;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage Image_;
    const TChartCanvas* StaleChart_ = nullptr;
    bool Painting_ = false;
};

// A label that receives a chart's text block and sizes itself to it.
class TWindowLabel : public QLabel, public TTextLabel {
    Q_OBJECT

  public:
    explicit TWindowLabel(QWidget* parent = nullptr);

    void SetText(const std::string& text) override;

  private:
    // Every paint of a chart sets its text blocks again; the same text needs no new layout.
    std::optional<std::string> Shown_;
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

// The direction selectors in every style: their indicator drawn to fill the 13 x 13 box of
// the layout (a style's own may be larger and lose its edge, or tell a disabled button from
// an enabled one only by a shade). Enabled: a ring in the text colour on the base colour;
// disabled: a ring of the disabled text colour on the window face; selected: a dot inside.
class TSelectorStyle : public QProxyStyle {
    Q_OBJECT

  public:
    using QProxyStyle::QProxyStyle;

    static constexpr int IndicatorSize = 13;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget = nullptr) const override;
};

// An icon read from its file only when something first asks for an image of it, and from then
// on the plain file icon: a window system that shows no window icons never decodes it.
class TLazyFileIconEngine : public QIconEngine {
  public:
    explicit TLazyFileIconEngine(QString path) : Path_(std::move(path)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override;
    QIconEngine* clone() const override { return new TLazyFileIconEngine(*this); }
    QString key() const override { return QStringLiteral("TLazyFileIconEngine"); }

  private:
    const QIcon& Loaded();

    QString Path_;
    std::optional<QIcon> Icon_;
};

// Sets a label's text and lets it grow or shrink to fit, as far as its maximum width.
void SetAutoSizedText(QLabel& label, const QString& text);

// Black or white, whichever reads better on `background` (the larger contrast ratio).
QColor ReadableTextColor(const QColor& background);

// Where the window of `size` opens on a screen: at its layout position 296, 176 from the
// screen's corner when it fits there into the screen's `available` area, else moved as little
// as needed to lie in it whole, its top-left corner first.
QPoint WindowPosition(QSize size, const QRect& screen, const QRect& available);
