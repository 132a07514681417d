#include "batch/HeadlessView.h"

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
