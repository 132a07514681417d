#include "window/WindowWidgets.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionGroupBox>
#include <algorithm>
#include <cmath>
#include <utility>

#include "drawing/ChartImage.h"
#include "drawing/ImageFile.h"
#include "window/WindowText.h"

TWindowPaintBox::TWindowPaintBox(QWidget* parent) : QWidget(parent) {}

void TWindowPaintBox::ShowChart(const TChartCanvas& chart) {
    StaleChart_ = &chart;
    // Inside paintEvent the image is drawn right after the handler returns; asking
    // for another paint there would repaint forever.
    if (!Painting_) {
        update();
    }
}

const QImage& TWindowPaintBox::Image() {
    if (StaleChart_ != nullptr) {
        Image_ = ChartImage(*std::exchange(StaleChart_, nullptr));
    }
    return Image_;
}

void TWindowPaintBox::paintEvent(QPaintEvent* /*event*/) {
    if (OnPaint) {
        const QScopedValueRollback painting(Painting_, true);
        OnPaint();
    }
    const QImage& image = Image();
    if (!image.isNull()) {
        // On a scaled screen each chart pixel becomes a block of whole device pixels, never a
        // blend of neighbours: the dotted lines and the one-pixel bars stay sharp.
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(QPoint(0, 0), image.size()), image);
    }
    if (hasFocus()) {
        // Over the chart, not into its image: a saved chart never shows the focus.
        QPainter painter(this);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.backgroundColor = palette().color(QPalette::Base);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

TWindowLabel::TWindowLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void TWindowLabel::SetText(const std::string& text) {
    if (Shown_ == text) {
        return;
    }
    SetAutoSizedText(*this, DecodeLabelText(text));
    Shown_ = text;
}

namespace {

constexpr int CaptionLeft = 8;
constexpr QRgb GroupFrameColor = qRgb(213, 223, 229);

}  // namespace

void TGroupBoxStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                        QPainter* painter, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const QRect caption = subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
    const QRect frame = subControlRect(CC_GroupBox, box, SC_GroupBoxFrame, widget);
    painter->save();
    // The frame line stops at the caption, which stands in a gap of its own.
    painter->setClipRegion(QRegion(box->rect).subtracted(caption));
    painter->setPen(QColor(GroupFrameColor));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter->setClipping(false);
    painter->setPen(box->palette.color(QPalette::WindowText));
    painter->drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, box->text);
    painter->restore();
}

QRect TGroupBoxStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                     SubControl subControl, const QWidget* widget) const {
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (control != CC_GroupBox || box == nullptr) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const int textHeight = box->fontMetrics.height();
    switch (subControl) {
        case SC_GroupBoxLabel:
            return {CaptionLeft, 0, box->fontMetrics.horizontalAdvance(box->text), textHeight};
        case SC_GroupBoxFrame:
            return box->rect.adjusted(0, textHeight / 2, 0, 0);
        case SC_GroupBoxContents:
            return box->rect.adjusted(1, textHeight, -1, -1);
        default:
            return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

void TSelectorStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const bool enabled = option->state & State_Enabled;
    const bool checked = option->state & State_On;
    const QPalette& palette = option->palette;
    const QColor ink = enabled ? palette.color(QPalette::Active, QPalette::Text)
                               : palette.color(QPalette::Disabled, QPalette::Text);
    const QColor fill = enabled ? palette.color(QPalette::Active, QPalette::Base)
                                : palette.color(QPalette::Active, QPalette::Window);
    const QRectF box = QRectF(option->rect.topLeft(), QSizeF(IndicatorSize, IndicatorSize));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(ink, 1.0));
    painter->setBrush(fill);
    painter->drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
    if (checked) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(ink);
        painter->drawEllipse(box.center(), 2.5, 2.5);
    }
    painter->restore();
}

int TSelectorStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                const QWidget* widget) const {
    if (metric == PM_ExclusiveIndicatorWidth || metric == PM_ExclusiveIndicatorHeight) {
        return IndicatorSize;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QRect TSelectorStyle::subElementRect(SubElement element, const QStyleOption* option,
                                     const QWidget* widget) const {
    if (element == SE_RadioButtonIndicator) {
        return {option->rect.topLeft(), QSize(IndicatorSize, IndicatorSize)};
    }
    if (element == SE_RadioButtonFocusRect) {
        return option->rect;
    }
    return QProxyStyle::subElementRect(element, option, widget);
}

const QIcon& TLazyFileIconEngine::Loaded() {
    if (!Icon_) {
        const QImage image = ReadImage(Path_, QFileInfo(Path_).suffix().toLatin1().constData());
        Icon_ = image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
    }
    return *Icon_;
}

void TLazyFileIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                                QIcon::State state) {
    Loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
}

QPixmap TLazyFileIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    // An engine's sizes are device pixels: ratio 1 hands the size to the file icon as it is.
    return Loaded().pixmap(size, 1.0, mode, state);
}

QSize TLazyFileIconEngine::actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    return pixmap(size, mode, state).size();
}

QList<QSize> TLazyFileIconEngine::availableSizes(QIcon::Mode mode, QIcon::State state) {
    return Loaded().availableSizes(mode, state);
}

bool TLazyFileIconEngine::isNull() {
    return Icon_ ? Icon_->isNull() : !QFile::exists(Path_);
}

void SetAutoSizedText(QLabel& label, const QString& text) {
    label.setText(text);
    label.adjustSize();
}

namespace {

// Relative luminance of the sRGB colour, as the WCAG contrast ratio uses it.
double Luminance(const QColor& color) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

}  // namespace

QColor ReadableTextColor(const QColor& background) {
    const double luminance = Luminance(background);
    const double onBlack = (luminance + 0.05) / 0.05;
    const double onWhite = 1.05 / (luminance + 0.05);
    return onBlack >= onWhite ? QColor(Qt::black) : QColor(Qt::white);
}

QPoint WindowPosition(QSize size, const QRect& screen, const QRect& available) {
    const QPoint LayoutPosition = screen.topLeft() + QPoint(296, 176);
    const int x = std::max(available.left(),
                           std::min(LayoutPosition.x(), available.right() + 1 - size.width()));
    const int y = std::max(available.top(),
                           std::min(LayoutPosition.y(), available.bottom() + 1 - size.height()));
    return {x, y};
}
