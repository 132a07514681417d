#include "window/TextViewAccessible.h"

#include <QTextBoundaryFinder>
#include <algorithm>
#include <limits>

#include "window/WindowTextView.h"

namespace {

QAccessibleInterface* TextViewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("TLazyTextView") && object != nullptr &&
        object->isWidgetType()) {
        return new TTextViewAccessible(static_cast<TLazyTextView*>(object));
    }
    return nullptr;
}

int ToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

void TTextViewAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(TextViewFactory);
        return true;
    }();
    (void)installed;
}

TTextViewAccessible::TTextViewAccessible(TLazyTextView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

TLazyTextView& TTextViewAccessible::View() const {
    return *static_cast<TLazyTextView*>(widget());
}

void* TTextViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TTextViewAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

// A line's characters are its bytes unless it holds a tab or is longer than the box shows:
// only such lines are decoded to be counted.
const std::vector<int64_t>& TTextViewAccessible::LineOffsets() const {
    const TLogTextModel& model = View().Model();
    if (IndexedModelAddress_ != &model || IndexedModel_.expired()) {
        LineOffsets_.assign(1, 0);
        LineOffsets_.reserve(static_cast<size_t>(model.LineCount()) + 1);
        for (int64_t line = 0; line < model.LineCount(); ++line) {
            const std::string_view bytes = model.LineBytes(line);
            const bool plain = bytes.size() <= TLogTextModel::MaxShownBytes &&
                               bytes.find('\t') == std::string_view::npos;
            const int64_t length =
                plain ? static_cast<int64_t>(bytes.size()) : model.LineLength(line);
            LineOffsets_.push_back(LineOffsets_.back() + length + 1);
        }
        IndexedModel_ = View().ModelPointer();
        IndexedModelAddress_ = &model;
    }
    return LineOffsets_;
}

int TTextViewAccessible::OffsetOf(TTextPosition at) const {
    const std::vector<int64_t>& offsets = LineOffsets();
    if (offsets.size() < 2) {
        return 0;
    }
    const auto line = static_cast<size_t>(
        std::clamp<int64_t>(at.Line, 0, static_cast<int64_t>(offsets.size()) - 2));
    return ToInt(offsets[line] + std::min(at.Column, offsets[line + 1] - offsets[line] - 1));
}

TTextPosition TTextViewAccessible::PositionOf(int offset) const {
    const std::vector<int64_t>& offsets = LineOffsets();
    if (offsets.size() < 2) {
        return {};
    }
    const auto after = std::upper_bound(offsets.begin(), offsets.end() - 1, offset);
    const int64_t line = std::max<int64_t>(0, (after - offsets.begin()) - 1);
    const int64_t column = std::min<int64_t>(
        offset - offsets[static_cast<size_t>(line)],
        offsets[static_cast<size_t>(line) + 1] - offsets[static_cast<size_t>(line)] - 1);
    return {line, std::max<int64_t>(0, column)};
}

int TTextViewAccessible::characterCount() const {
    return ToInt(LineOffsets().back());
}

void TTextViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex == 0 && View().HasSelection()) {
        const TTextMatch selected = View().Selection();
        *startOffset = OffsetOf(std::min(selected.From, selected.To));
        *endOffset = OffsetOf(std::max(selected.From, selected.To));
    }
}

int TTextViewAccessible::selectionCount() const {
    return View().HasSelection() ? 1 : 0;
}

void TTextViewAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void TTextViewAccessible::removeSelection(int /*selectionIndex*/) {
    View().SelectRange(View().Selection().To, View().Selection().To);
}

void TTextViewAccessible::setSelection(int /*selectionIndex*/, int startOffset, int endOffset) {
    View().SelectRange(PositionOf(startOffset), PositionOf(endOffset));
}

int TTextViewAccessible::cursorPosition() const {
    return OffsetOf({View().CursorLine(), View().CursorColumn()});
}

void TTextViewAccessible::setCursorPosition(int position) {
    const TTextPosition at = PositionOf(position);
    View().SelectRange(at, at);
}

QString TTextViewAccessible::text(int startOffset, int endOffset) const {
    if (endOffset <= startOffset) {
        return {};
    }
    const TTextPosition from = PositionOf(startOffset);
    const TTextPosition to = PositionOf(endOffset);
    QString text = View().Model().Text(from, to);
    // A stretch that ends past a line's last character takes its line break too.
    if (endOffset >= characterCount() || OffsetOf(to) < endOffset) {
        text += QLatin1Char('\n');
    }
    return text.left(endOffset - startOffset);
}

// Lines are the box's own; the other units are found within the line at `offset`.
QString TTextViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                          int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (count == 0 || offset < 0 || offset > count) {
        return {};
    }
    const TTextPosition at = PositionOf(std::min(offset, count - 1));
    const int lineStart = OffsetOf({at.Line, 0});
    const QString line = View().Model().LineText(at.Line) + QLatin1Char('\n');
    if (boundaryType == QAccessible::LineBoundary || boundaryType == QAccessible::NoBoundary ||
        boundaryType == QAccessible::ParagraphBoundary) {
        *startOffset = lineStart;
        *endOffset = lineStart + static_cast<int>(line.size());
        return line;
    }
    const auto type = boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                      : boundaryType == QAccessible::SentenceBoundary
                          ? QTextBoundaryFinder::Sentence
                          : QTextBoundaryFinder::Grapheme;
    QTextBoundaryFinder finder(type, line);
    const qsizetype position = offset - lineStart;
    finder.setPosition(position);
    const qsizetype start = finder.isAtBoundary() ? position : finder.toPreviousBoundary();
    finder.setPosition(position);
    const qsizetype stop = finder.toNextBoundary();
    if (start < 0 || stop < 0) {
        return {};
    }
    *startOffset = lineStart + static_cast<int>(start);
    *endOffset = lineStart + static_cast<int>(stop);
    return line.mid(start, stop - start);
}

QString TTextViewAccessible::textBeforeOffset(int offset,
                                              QAccessible::TextBoundaryType boundaryType,
                                              int* startOffset, int* endOffset) const {
    int start = 0;
    int end = 0;
    textAtOffset(offset, boundaryType, &start, &end);
    if (start <= 0) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
}

QString TTextViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                             int* startOffset, int* endOffset) const {
    int start = 0;
    int end = 0;
    textAtOffset(offset, boundaryType, &start, &end);
    if (end < 0 || end >= characterCount()) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(end, boundaryType, startOffset, endOffset);
}

QRect TTextViewAccessible::characterRect(int offset) const {
    const QRect local = View().CharacterRect(PositionOf(offset));
    return QRect(View().viewport()->mapToGlobal(local.topLeft()), local.size());
}

int TTextViewAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = View().viewport()->mapFromGlobal(point);
    return OffsetOf(View().PositionAtPoint(local));
}

void TTextViewAccessible::scrollToSubstring(int startIndex, int endIndex) {
    View().SelectRange(PositionOf(startIndex), PositionOf(endIndex));
}

QString TTextViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}
