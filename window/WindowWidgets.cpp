#include "window/WindowWidgets.h"

#include <QPainter>
#include <QScopedValueRollback>
#include <QStyleOptionGroupBox>

#include "window/WindowText.h"

TWindowPaintBox::TWindowPaintBox(QWidget* parent) : QWidget(parent) {}

void TWindowPaintBox::ShowImage(const QImage& image) {
    Image_ = image;
    // Inside paintEvent the image is drawn right after the handler returns; asking
    // for another paint there would repaint forever.
    if (!Painting_) {
        update();
    }
}

void TWindowPaintBox::paintEvent(QPaintEvent* /*event*/) {
    if (OnPaint) {
        const QScopedValueRollback painting(Painting_, true);
        OnPaint();
    }
    if (!Image_.isNull()) {
        QPainter painter(this);
        painter.drawImage(0, 0, Image_);
    }
}

TWindowLabel::TWindowLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

void TWindowLabel::SetText(const std::string& text) {
    SetAutoSizedText(*this, DecodeLabelText(text));
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

void SetAutoSizedText(QLabel& label, const QString& text) {
    label.setText(text);
    label.adjustSize();
}
