#include "window/WindowTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "window/WindowText.h"

namespace {

constexpr int TextMargin = 3;
constexpr int TabWidth = 8;
// Nobody reads further right in a box without a horizontal scroll bar; decoding a line of
// megabytes in full would stall every paint that shows it.
constexpr size_t MaxShownBytes = 4096;
// Larger selections are refused instead of building a clipboard text of gigabytes.
constexpr uint64_t MaxCopiedBytes = 64ull << 20;

QString ExpandTabs(const QString& text) {
    if (!text.contains(QLatin1Char('\t'))) {
        return text;
    }
    QString expanded;
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            expanded += QString(TabWidth - expanded.size() % TabWidth, QLatin1Char(' '));
        } else {
            expanded += c;
        }
    }
    return expanded;
}

}  // namespace

TLazyTextView::TLazyTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void TLazyTextView::SetLines(const std::vector<std::string>& lines) {
    // The old text goes first: two large logs side by side would double the peak.
    Clear();
    size_t total = 0;
    for (const std::string& line : lines) {
        total += line.size();
    }
    std::string bytes;
    bytes.reserve(total);
    std::vector<uint64_t> starts;
    starts.reserve(lines.size() + 1);
    starts.push_back(0);
    for (const std::string& line : lines) {
        bytes += line;
        starts.push_back(bytes.size());
    }
    Bytes_ = std::move(bytes);
    Starts_ = std::move(starts);
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
}

void TLazyTextView::Clear() {
    // Swapping with empty ones gives the memory of a large log back at once.
    std::string().swap(Bytes_);
    std::vector<uint64_t>{0}.swap(Starts_);
    Anchor_ = Cursor_ = {};
    UpdateScrollRange();
    viewport()->update();
}

QString TLazyTextView::LineText(int64_t index) const {
    if (index < 0 || index >= LineCount()) {
        return {};
    }
    const auto start = static_cast<size_t>(Starts_[static_cast<size_t>(index)]);
    const size_t length = std::min<size_t>(
        static_cast<size_t>(Starts_[static_cast<size_t>(index) + 1]) - start, MaxShownBytes);
    return ExpandTabs(DecodeWindows1252(std::string_view(Bytes_).substr(start, length)));
}

QString TLazyTextView::toPlainText() const {
    QStringList lines;
    for (int64_t i = 0; i < LineCount(); ++i) {
        lines.append(LineText(i));
    }
    return lines.join(QLatin1Char('\n'));
}

QString TLazyTextView::SelectedText() const {
    const TPosition from = std::min(Anchor_, Cursor_);
    const TPosition to = std::max(Anchor_, Cursor_);
    QStringList lines;
    for (int64_t line = from.Line; line <= to.Line && line < LineCount(); ++line) {
        const QString text = LineText(line);
        const qsizetype first = line == from.Line ? static_cast<qsizetype>(from.Column) : 0;
        const qsizetype last = line == to.Line ? static_cast<qsizetype>(to.Column) : text.size();
        lines.append(text.mid(first, std::max<qsizetype>(0, last - first)));
    }
    return from == to ? QString() : lines.join(QLatin1Char('\n'));
}

void TLazyTextView::SelectAll() {
    Anchor_ = {};
    Cursor_ = {std::max<int64_t>(0, LineCount() - 1), LineText(LineCount() - 1).size()};
    viewport()->update();
}

void TLazyTextView::CopySelection() const {
    if (!HasSelection()) {
        return;
    }
    const int64_t first = std::min(Anchor_, Cursor_).Line;
    const int64_t last = std::min(std::max(Anchor_, Cursor_).Line + 1, LineCount());
    if (Starts_[static_cast<size_t>(last)] - Starts_[static_cast<size_t>(first)] > MaxCopiedBytes) {
        QApplication::beep();
        return;
    }
    QApplication::clipboard()->setText(SelectedText());
}

int TLazyTextView::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int64_t TLazyTextView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

int TLazyTextView::VisibleLineCount() const {
    return std::max(1, (viewport()->height() - TextMargin) / LineHeight());
}

void TLazyTextView::UpdateScrollRange() {
    const int64_t maximum = std::max<int64_t>(0, LineCount() - VisibleLineCount());
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<int64_t>(maximum, INT32_MAX)));
    verticalScrollBar()->setPageStep(VisibleLineCount());
    verticalScrollBar()->setSingleStep(1);
}

void TLazyTextView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const int height = LineHeight();
    const int64_t first = FirstVisibleLine();
    const int64_t end = std::min(LineCount(), first + VisibleLineCount() + 1);
    for (int64_t line = first; line < end; ++line) {
        const int top = TextMargin + static_cast<int>(line - first) * height;
        PaintSelection(painter, line, top);
        painter.drawText(TextMargin, top + fontMetrics().ascent(), LineText(line));
    }
}

void TLazyTextView::PaintSelection(QPainter& painter, int64_t line, int top) const {
    const TPosition from = std::min(Anchor_, Cursor_);
    const TPosition to = std::max(Anchor_, Cursor_);
    if (from == to || line < from.Line || line > to.Line) {
        return;
    }
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    const int64_t firstColumn = line == from.Line ? from.Column : 0;
    // A selection running on past this line's end marks its line break with one cell.
    const int64_t lastColumn = line == to.Line ? to.Column : LineText(line).size() + 1;
    const int64_t left = std::min<int64_t>(firstColumn * charWidth, viewport()->width());
    const int64_t right = std::min<int64_t>(lastColumn * charWidth, viewport()->width());
    painter.fillRect(QRect(TextMargin + static_cast<int>(left), top, static_cast<int>(right - left),
                           LineHeight()),
                     palette().color(QPalette::Highlight));
}

void TLazyTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void TLazyTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateScrollRange();
    }
}

void TLazyTextView::keyPressEvent(QKeyEvent* event) {
    QScrollBar& bar = *verticalScrollBar();
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        bar.setValue(bar.minimum());
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        bar.setValue(bar.maximum());
    } else {
        // Arrows and page keys move the scroll bar; anything else (Escape above all) goes
        // on to the window.
        QAbstractScrollArea::keyPressEvent(event);
    }
}

TLazyTextView::TPosition TLazyTextView::PositionAt(QPoint point) const {
    const int charWidth = std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
    const int64_t row = std::max(0, point.y() - TextMargin) / LineHeight();
    const int64_t line =
        std::clamp<int64_t>(FirstVisibleLine() + row, 0, std::max<int64_t>(0, LineCount() - 1));
    const int64_t column = std::max(0, point.x() - TextMargin + charWidth / 2) / charWidth;
    return {line, std::min<int64_t>(column, LineText(line).size())};
}

void TLazyTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    Cursor_ = PositionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) {
        Anchor_ = Cursor_;
    }
    viewport()->update();
}

void TLazyTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint point = event->position().toPoint();
    // Dragging past the top or bottom edge scrolls on, line by line.
    if (point.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (point.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    Cursor_ = PositionAt(point);
    viewport()->update();
}
