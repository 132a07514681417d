#include "batch/HeadlessView.h"

QImage THeadlessPaintBox::Image() const {
    if (!Image_.isNull()) {
        return Image_;
    }
    QImage blank(Width_, Height_, QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
}

void THeadlessView::MoveSelector(int index, int left, int top) {
    if (index >= 0 && index < DirectionCount) {
        Placements[index] = std::make_pair(left, top);
    }
}

void THeadlessView::EnableSelector(int index, bool enabled) {
    if (index >= 0 && index < DirectionCount) {
        Enabled[index] = enabled;
    }
}
