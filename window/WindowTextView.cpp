#include "window/WindowTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "window/WindowText.h"

namespace {

constexpr int TextMargin = 3;
constexpr int TabWidth = 8;
constexpr int WheelColumns = 6;  // per notch of a sideways wheel
// Decoding a line of megabytes in full would stall every paint that shows it; columns
// beyond this are not shown (a copy still takes the whole line).
constexpr size_t MaxShownBytes = 1 << 16;
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

bool IsWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

}  // namespace

TLazyTextView::TLazyTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    AskFindText = [this](const QString& previous) {
        return QInputDialog::getText(this, QStringLiteral("Find"), QStringLiteral("Find:"),
                                     QLineEdit::Normal, previous);
    };
}

void TLazyTextView::SetText(const TLogText& text) {
    // The old text goes first: two large logs side by side would double the peak.
    Clear();
    const std::string_view bytes = text.Bytes();
    std::vector<uint64_t> starts;
    uint64_t longest = 0;
    TLineCursor cursor(bytes);
    std::string_view line;
    while (cursor.Next(line)) {
        starts.push_back(static_cast<uint64_t>(line.data() - bytes.data()));
        longest = std::max<uint64_t>(longest, line.size());
    }
    starts.push_back(bytes.size());
    Text_ = text;
    Starts_ = std::move(starts);
    LongestLine_ = longest;
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
}

void TLazyTextView::Clear() {
    // Swapping with empty ones gives the memory of a large log back at once.
    Text_ = TLogText();
    std::vector<uint64_t>{0}.swap(Starts_);
    LongestLine_ = 0;
    Anchor_ = Cursor_ = {};
    HorizontalOffset_ = 0;
    UpdateScrollRange();
    viewport()->update();
}

std::string_view TLazyTextView::LineBytes(int64_t index) const {
    const auto start = static_cast<size_t>(Starts_[static_cast<size_t>(index)]);
    std::string_view line = Text_.Bytes().substr(
        start, static_cast<size_t>(Starts_[static_cast<size_t>(index) + 1]) - start);
    // A line holds no CR or LF of its own: what there is of them ends it.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

void TLazyTextView::SetLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    SetText(TLogText::Copy(text));
}

QString TLazyTextView::DecodedLine(int64_t index, size_t maxBytes) const {
    if (index < 0 || index >= LineCount()) {
        return {};
    }
    return ExpandTabs(DecodeWindows1252(LineBytes(index).substr(0, maxBytes)));
}

QString TLazyTextView::LineText(int64_t index) const {
    return DecodedLine(index, MaxShownBytes);
}

int64_t TLazyTextView::LineLength(int64_t line) const {
    return LineText(line).size();
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
    if (from == to) {
        return {};
    }
    QStringList lines;
    for (int64_t line = from.Line; line <= to.Line && line < LineCount(); ++line) {
        // Whole lines, also beyond the shown columns: a selection reaching the end of the shown
        // part of a line takes the rest of it as well.
        const QString text = DecodedLine(line, SIZE_MAX);
        const qsizetype first = line == from.Line ? static_cast<qsizetype>(from.Column) : 0;
        const bool toEnd = line != to.Line || to.Column >= LineLength(line);
        const qsizetype last = toEnd ? text.size() : static_cast<qsizetype>(to.Column);
        lines.append(text.mid(first, std::max<qsizetype>(0, last - first)));
    }
    return lines.join(QLatin1Char('\n'));
}

void TLazyTextView::SelectAll() {
    Anchor_ = {};
    const int64_t last = std::max<int64_t>(0, LineCount() - 1);
    Cursor_ = {last, LineLength(last)};
    OfferPrimarySelection();
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

// Middle-click paste in other programs takes the selection without a copy (X11).
void TLazyTextView::OfferPrimarySelection() const {
    QClipboard& clipboard = *QApplication::clipboard();
    if (!clipboard.supportsSelection() || !HasSelection()) {
        return;
    }
    const int64_t first = std::min(Anchor_, Cursor_).Line;
    const int64_t last = std::min(std::max(Anchor_, Cursor_).Line + 1, LineCount());
    if (Starts_[static_cast<size_t>(last)] - Starts_[static_cast<size_t>(first)] <=
        MaxCopiedBytes) {
        clipboard.setText(SelectedText(), QClipboard::Selection);
    }
}

int TLazyTextView::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int TLazyTextView::CharWidth() const {
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('M')));
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
    const int height = LineHeight();
    const int64_t first = FirstVisibleLine();
    const int64_t end = std::min(LineCount(), first + VisibleLineCount() + 1);
    for (int64_t line = first; line < end; ++line) {
        PaintLine(painter, line, TextMargin + static_cast<int>(line - first) * height);
    }
    const int64_t caretRow = Cursor_.Line - first;
    if (hasFocus() && CaretShown_ && caretRow >= 0 && caretRow <= VisibleLineCount()) {
        const int x =
            TextMargin + static_cast<int>(Cursor_.Column * CharWidth()) - HorizontalOffset_;
        painter.fillRect(QRect(x, TextMargin + static_cast<int>(caretRow) * height, 1, height),
                         palette().color(QPalette::Text));
    }
    if (hasFocus()) {
        // The frame of a scroll area shows no focus in every style: the box marks it itself.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
    }
}

// Only the columns in view are drawn; the selected part again in the selection colours.
void TLazyTextView::PaintLine(QPainter& painter, int64_t line, int top) const {
    const int charWidth = CharWidth();
    const QString text = LineText(line);
    const int64_t firstColumn = HorizontalOffset_ / charWidth;
    const int64_t columns = viewport()->width() / charWidth + 2;
    const int x = TextMargin + static_cast<int>(firstColumn * charWidth) - HorizontalOffset_;
    const int baseline = top + fontMetrics().ascent();
    const QString shown = text.mid(static_cast<qsizetype>(firstColumn), columns);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(x, baseline, shown);

    const TPosition from = std::min(Anchor_, Cursor_);
    const TPosition to = std::max(Anchor_, Cursor_);
    if (from == to || line < from.Line || line > to.Line) {
        return;
    }
    const int64_t selectedFrom = line == from.Line ? from.Column : 0;
    // A selection running on past this line's end marks its line break with one cell.
    const int64_t selectedTo = line == to.Line ? to.Column : text.size() + 1;
    const auto columnX = [&](int64_t column) {
        const int64_t pixel = TextMargin + column * charWidth - HorizontalOffset_;
        return static_cast<int>(std::clamp<int64_t>(pixel, -1, viewport()->width() + 1));
    };
    const QRect selected(QPoint(columnX(selectedFrom), top),
                         QPoint(columnX(selectedTo) - 1, top + LineHeight() - 1));
    painter.save();
    painter.setClipRect(selected);
    painter.fillRect(selected, palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(x, baseline, shown);
    painter.restore();
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

void TLazyTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    RestartBlink();
    viewport()->update();
}

void TLazyTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    Blink_.stop();
    viewport()->update();
}

void TLazyTextView::RestartBlink() {
    CaretShown_ = true;
    const int period = QApplication::cursorFlashTime() / 2;
    if (period > 0 && hasFocus()) {
        Blink_.start(period, this);
    } else {
        Blink_.stop();
    }
}

void TLazyTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != Blink_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    CaretShown_ = !CaretShown_;
    viewport()->update();
}

void TLazyTextView::MoveTo(TPosition to, bool select) {
    Cursor_ = to;
    if (!select) {
        Anchor_ = to;
    }
    EnsureCaretVisible();
    RestartBlink();
    if (select) {
        OfferPrimarySelection();
    }
    viewport()->update();
}

void TLazyTextView::EnsureCaretVisible() {
    QScrollBar& bar = *verticalScrollBar();
    if (Cursor_.Line < bar.value()) {
        bar.setValue(static_cast<int>(Cursor_.Line));
    } else if (Cursor_.Line >= bar.value() + VisibleLineCount()) {
        bar.setValue(static_cast<int>(Cursor_.Line - VisibleLineCount() + 1));
    }
    const int charWidth = CharWidth();
    const int64_t x = Cursor_.Column * charWidth;
    const int room = std::max(charWidth, viewport()->width() - 2 * TextMargin - charWidth);
    if (x < HorizontalOffset_) {
        HorizontalOffset_ = static_cast<int>(std::max<int64_t>(0, x - room / 4));
    } else if (x > HorizontalOffset_ + room) {
        HorizontalOffset_ = static_cast<int>(std::min<int64_t>(x - room + room / 4, INT32_MAX));
    }
}

void TLazyTextView::ScrollHorizontally(int pixels) {
    const int64_t widest = static_cast<int64_t>(std::min<uint64_t>(LongestLine_, MaxShownBytes)) *
                           TabWidth * CharWidth();
    const int64_t limit = std::max<int64_t>(0, widest - viewport()->width() / 2);
    HorizontalOffset_ = static_cast<int>(std::clamp<int64_t>(int64_t{HorizontalOffset_} + pixels, 0,
                                                             std::min<int64_t>(limit, INT32_MAX)));
    viewport()->update();
}

void TLazyTextView::wheelEvent(QWheelEvent* event) {
    // A sideways swipe, or the wheel with Shift held, scrolls the columns.
    QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ShiftModifier && delta.x() == 0) {
        delta = QPoint(delta.y(), 0);
    }
    if (delta.x() == 0) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    ScrollHorizontally(-delta.x() * WheelColumns * CharWidth() / 120);
    event->accept();
}

bool TLazyTextView::MoveCaret(const QKeyEvent& event) {
    struct TMove {
        QKeySequence::StandardKey Move;
        QKeySequence::StandardKey Select;
    };
    static constexpr TMove Moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument},
    };
    const TMove* found = nullptr;
    bool select = false;
    for (const TMove& move : Moves) {
        if (event.matches(move.Move) || event.matches(move.Select)) {
            found = &move;
            select = event.matches(move.Select);
            break;
        }
    }
    if (found == nullptr || LineCount() == 0) {
        return found != nullptr;
    }
    const int64_t lastLine = LineCount() - 1;
    const int64_t page = VisibleLineCount();
    TPosition to = Cursor_;
    const QString text = LineText(to.Line);
    const auto clampColumn = [this](TPosition p) {
        p.Column = std::min(p.Column, LineLength(p.Line));
        return p;
    };
    QScrollBar& bar = *verticalScrollBar();
    switch (found->Move) {
        case QKeySequence::MoveToNextChar:
            if (to.Column < text.size()) {
                ++to.Column;
            } else if (to.Line < lastLine) {
                to = {to.Line + 1, 0};
            }
            break;
        case QKeySequence::MoveToPreviousChar:
            if (to.Column > 0) {
                --to.Column;
            } else if (to.Line > 0) {
                to = {to.Line - 1, LineLength(to.Line - 1)};
            }
            break;
        case QKeySequence::MoveToNextWord: {
            qsizetype column = static_cast<qsizetype>(to.Column);
            if (column >= text.size() && to.Line < lastLine) {
                to = {to.Line + 1, 0};
                break;
            }
            while (column < text.size() && IsWordCharacter(text[column])) {
                ++column;
            }
            while (column < text.size() && !IsWordCharacter(text[column])) {
                ++column;
            }
            to.Column = column;
            break;
        }
        case QKeySequence::MoveToPreviousWord: {
            qsizetype column = static_cast<qsizetype>(to.Column);
            if (column == 0 && to.Line > 0) {
                to = {to.Line - 1, LineLength(to.Line - 1)};
                break;
            }
            while (column > 0 && !IsWordCharacter(text[column - 1])) {
                --column;
            }
            while (column > 0 && IsWordCharacter(text[column - 1])) {
                --column;
            }
            to.Column = column;
            break;
        }
        case QKeySequence::MoveToNextLine:
            to = clampColumn({std::min(lastLine, to.Line + 1), to.Column});
            break;
        case QKeySequence::MoveToPreviousLine:
            to = clampColumn({std::max<int64_t>(0, to.Line - 1), to.Column});
            break;
        case QKeySequence::MoveToNextPage:
            bar.setValue(bar.value() + static_cast<int>(page));
            to = clampColumn({std::min(lastLine, to.Line + page), to.Column});
            break;
        case QKeySequence::MoveToPreviousPage:
            bar.setValue(bar.value() - static_cast<int>(page));
            to = clampColumn({std::max<int64_t>(0, to.Line - page), to.Column});
            break;
        case QKeySequence::MoveToStartOfLine:
            to.Column = 0;
            break;
        case QKeySequence::MoveToEndOfLine:
            to.Column = text.size();
            break;
        case QKeySequence::MoveToStartOfDocument:
            to = {};
            break;
        case QKeySequence::MoveToEndOfDocument:
            to = {lastLine, LineLength(lastLine)};
            break;
        default:
            break;
    }
    MoveTo(to, select);
    return true;
}

void TLazyTextView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::Find)) {
        FindFromKeyboard(true, true);
    } else if (event->matches(QKeySequence::FindNext)) {
        FindFromKeyboard(false, true);
    } else if (event->matches(QKeySequence::FindPrevious)) {
        FindFromKeyboard(false, false);
    } else if (!MoveCaret(*event)) {
        // Anything else (Escape above all) goes on to the window.
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TLazyTextView::FindFromKeyboard(bool ask, bool forward) {
    if (ask || FindText_.isEmpty()) {
        const QString text = AskFindText(FindText_);
        if (text.isEmpty()) {
            return;
        }
        FindText_ = text;
    }
    if (!Find(FindText_, forward)) {
        QApplication::beep();
    }
}

// Searches line by line from the caret (past the current match), ignoring letter case, and
// wraps around the end of the text once.
bool TLazyTextView::Find(const QString& text, bool forward) {
    const int64_t count = LineCount();
    if (text.isEmpty() || count == 0) {
        return false;
    }
    FindText_ = text;
    const TPosition from = std::min(Anchor_, Cursor_);
    const TPosition to = std::max(Anchor_, Cursor_);
    for (int64_t step = 0; step <= count; ++step) {
        const int64_t line =
            forward ? (to.Line + step) % count : ((from.Line - step) % count + count) % count;
        const QString shown = LineText(line);
        qsizetype at = -1;
        if (forward) {
            const qsizetype start = step == 0 ? static_cast<qsizetype>(to.Column) : 0;
            at = shown.indexOf(text, start, Qt::CaseInsensitive);
        } else if (step > 0 || from.Column > 0) {
            const qsizetype start = step == 0 ? static_cast<qsizetype>(from.Column) - 1 : -1;
            at = shown.lastIndexOf(text, start, Qt::CaseInsensitive);
        }
        if (step == count && at >= 0 &&
            ((forward && at >= to.Column) || (!forward && at < from.Column))) {
            at = -1;  // back where the search began
        }
        if (at >= 0) {
            MoveTo({line, at}, false);
            MoveTo({line, at + text.size()}, true);
            return true;
        }
    }
    return false;
}

TLazyTextView::TPosition TLazyTextView::PositionAt(QPoint point) const {
    const int charWidth = CharWidth();
    const int64_t row = std::max(0, point.y() - TextMargin) / LineHeight();
    const int64_t line =
        std::clamp<int64_t>(FirstVisibleLine() + row, 0, std::max<int64_t>(0, LineCount() - 1));
    const int64_t column =
        std::max(0, point.x() - TextMargin + HorizontalOffset_ + charWidth / 2) / charWidth;
    return {line, std::min<int64_t>(column, LineLength(line))};
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
    RestartBlink();
    viewport()->update();
}

void TLazyTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPoint point = event->position().toPoint();
    // Dragging past an edge scrolls on, line by line or a few columns at a time.
    if (point.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (point.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (point.x() < 0) {
        ScrollHorizontally(-2 * CharWidth());
    } else if (point.x() > viewport()->width()) {
        ScrollHorizontally(2 * CharWidth());
    }
    Cursor_ = PositionAt(point);
    viewport()->update();
}

void TLazyTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        OfferPrimarySelection();
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TLazyTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    const TPosition at = PositionAt(event->position().toPoint());
    const QString text = LineText(at.Line);
    qsizetype first = static_cast<qsizetype>(at.Column);
    qsizetype last = first;
    while (first > 0 && IsWordCharacter(text[first - 1])) {
        --first;
    }
    while (last < text.size() && IsWordCharacter(text[last])) {
        ++last;
    }
    Anchor_ = {at.Line, first};
    Cursor_ = {at.Line, last};
    OfferPrimarySelection();
    viewport()->update();
}
