#include "window/WindowTextView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QTextLine>
#include <algorithm>
#include <cmath>

namespace {

constexpr int TextMargin = 3;
constexpr int TabWidth = 8;
constexpr int WheelColumns = 6;  // per notch of a sideways wheel
// Larger selections are copied only in part, and the copy says so.
constexpr uint64_t MaxCopiedBytes = 64ull << 20;
// Texts up to this size are indexed and searched at once; larger ones in the background.
constexpr size_t ForegroundBytes = 16u << 20;

}  // namespace

TTextJob::TTextJob(std::function<void(const std::atomic<bool>& cancel)> work)
    : Thread_([this, work = std::move(work)] { work(Cancel_); }) {}

TTextJob::~TTextJob() {
    Cancel();
    Thread_.join();
}

TLazyTextView::TLazyTextView(QWidget* parent)
    : QAbstractScrollArea(parent),
      Model_(std::make_shared<TLogTextModel>()),
      FindBar_(new QWidget(this)),
      FindField_(new QLineEdit(FindBar_)),
      FindCount_(new QLabel(FindBar_)) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    ShowNotice = [this](const QString& message) {
        QMessageBox::information(this, QStringLiteral("Copy"), message);
    };

    auto* label = new QLabel(QStringLiteral("Fi&nd:"), FindBar_);
    label->setBuddy(FindField_);
    FindField_->setAccessibleName(QStringLiteral("Find in the log text"));
    FindField_->setClearButtonEnabled(true);
    auto* layout = new QHBoxLayout(FindBar_);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->addWidget(label);
    layout->addWidget(FindField_, 1);
    layout->addWidget(FindCount_);
    FindBar_->setAutoFillBackground(true);
    FindBar_->hide();
    // Search as you type, from where the current match begins.
    connect(FindField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        Anchor_ = Cursor_ = std::min(Anchor_, Cursor_);
        if (!text.isEmpty()) {
            Find(text, true);
        } else {
            FindText_.clear();
            FindCount_->clear();
            viewport()->update();
        }
    });
    connect(FindField_, &QLineEdit::returnPressed, this, [this] {
        const bool back = QApplication::keyboardModifiers() & Qt::ShiftModifier;
        if (!Find(FindField_->text(), !back) && !Busy()) {
            QApplication::beep();
        }
    });
}

TLazyTextView::~TLazyTextView() = default;

void TLazyTextView::SetText(const TLogText& text) {
    // The old text goes first: two large logs side by side would double the peak.
    Clear();
    if (text.Bytes().size() <= ForegroundBytes) {
        ShowModel(TLogTextModel::Build(text));
        return;
    }
    JobText_ = QStringLiteral("Finding the lines");
    StartJob([this, text](const std::atomic<bool>& cancel, uint64_t generation) {
        auto model = TLogTextModel::Build(text, [&](double done) {
            ShowJobProgress(generation, done);
            return !cancel.load();
        });
        QMetaObject::invokeMethod(
            this,
            [this, generation, model = std::move(model)]() mutable {
                if (generation == Generation_ && model) {
                    EndJob();
                    ShowModel(std::move(model));
                }
            },
            Qt::QueuedConnection);
    });
}

void TLazyTextView::ShowModel(std::shared_ptr<const TLogTextModel> model) {
    Model_ = std::move(model);
    Layouts_.clear();
    verticalScrollBar()->setValue(0);
    UpdateScrollRange();
    viewport()->update();
}

void TLazyTextView::Clear() {
    CancelJob();
    ++Generation_;
    // Swapping with an empty one gives the memory of a large log back at once.
    Model_ = std::make_shared<TLogTextModel>();
    Layouts_.clear();
    Anchor_ = Cursor_ = {};
    HorizontalOffset_ = 0;
    FindCount_->clear();
    UpdateScrollRange();
    viewport()->update();
}

void TLazyTextView::SetLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    SetText(TLogText::Copy(text));
}

QString TLazyTextView::toPlainText() const {
    QStringList lines;
    for (int64_t i = 0; i < LineCount(); ++i) {
        lines.append(LineText(i));
    }
    return lines.join(QLatin1Char('\n'));
}

void TLazyTextView::SelectAll() {
    Anchor_ = {};
    Cursor_ = Model_->End();
    OfferPrimarySelection();
    viewport()->update();
}

// Copy and middle-click paste take the same text; beyond 64 MiB only its first lines, and the
// copy says so instead of building a clipboard text of gigabytes. A large text is put
// together in the background.
void TLazyTextView::PutSelection(QClipboard::Mode mode) {
    if (!HasSelection()) {
        return;
    }
    const TTextPosition from = std::min(Anchor_, Cursor_);
    TTextPosition to = std::max(Anchor_, Cursor_);
    const bool cut = Model_->ByteCount(from.Line, to.Line) > MaxCopiedBytes;
    if (cut) {
        int64_t last = from.Line;
        while (last < to.Line && Model_->ByteCount(from.Line, last + 1) <= MaxCopiedBytes) {
            ++last;
        }
        to = Model_->LineEnd({last, 0});
    }
    const auto put = [this, mode, cut, lines = to.Line - from.Line + 1](const QString& text) {
        QApplication::clipboard()->setText(text, mode);
        if (cut && mode == QClipboard::Clipboard) {
            ShowNotice(QStringLiteral("The selection is larger than 64 MiB: only its first %1 "
                                      "lines were copied.")
                           .arg(lines));
        }
    };
    if (Model_->ByteCount(from.Line, to.Line) <= ForegroundBytes) {
        put(Model_->Text(from, to));
        return;
    }
    JobText_ = QStringLiteral("Copying");
    StartJob([this, from, to, put, model = Model_](const std::atomic<bool>&, uint64_t generation) {
        QString text = model->Text(from, to);
        QMetaObject::invokeMethod(
            this,
            [this, generation, put, text = std::move(text)] {
                if (generation == Generation_) {
                    EndJob();
                    put(text);
                }
            },
            Qt::QueuedConnection);
    });
}

void TLazyTextView::CopySelection() {
    PutSelection(QClipboard::Clipboard);
}

// Middle-click paste in other programs takes the selection without a copy (X11).
void TLazyTextView::OfferPrimarySelection() {
    if (QApplication::clipboard()->supportsSelection()) {
        PutSelection(QClipboard::Selection);
    }
}

int TLazyTextView::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

qreal TLazyTextView::AverageCharWidth() const {
    return std::max<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')));
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

// One layout per line, the very one it is painted with: every position on the line is read
// from it.
const QTextLayout& TLazyTextView::LineLayout(int64_t line) const {
    for (const auto& [index, layout] : Layouts_) {
        if (index == line) {
            return *layout;
        }
    }
    if (Layouts_.size() > static_cast<size_t>(4 * VisibleLineCount() + 8)) {
        Layouts_.erase(Layouts_.begin(),
                       Layouts_.begin() + static_cast<std::ptrdiff_t>(Layouts_.size() / 2));
    }
    auto layout = std::make_unique<QTextLayout>(LineText(line), font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    Layouts_.emplace_back(line, std::move(layout));
    return *Layouts_.back().second;
}

qreal TLazyTextView::ColumnX(int64_t line, int64_t column) const {
    const QTextLine text = LineLayout(line).lineAt(0);
    return TextMargin - HorizontalOffset_ + text.cursorToX(static_cast<int>(column));
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
    if (hasFocus() && CaretShown_ && caretRow >= 0 && caretRow <= VisibleLineCount() &&
        Cursor_.Line < LineCount()) {
        const qreal x = ColumnX(Cursor_.Line, Cursor_.Column);
        painter.fillRect(QRectF(x, TextMargin + static_cast<qreal>(caretRow) * height, 1, height),
                         palette().color(QPalette::Text));
    }
    if (Busy()) {
        PaintProgress(painter);
    }
    if (hasFocus()) {
        // The frame of a scroll area shows no focus in every style: the box marks it itself.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
    }
}

// The line with its selected part in the selection colours and every other match of the find
// bar's text marked, all through the line's one layout.
void TLazyTextView::PaintLine(QPainter& painter, int64_t line, int top) const {
    const QTextLayout& layout = LineLayout(line);
    const QString& text = layout.text();
    QList<QTextLayout::FormatRange> formats;
    if (FindBarShown() && !FindText_.isEmpty()) {
        QColor mark = palette().color(QPalette::Highlight);
        mark.setAlpha(70);
        for (qsizetype at = text.indexOf(FindText_, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(FindText_, at + FindText_.size(), Qt::CaseInsensitive)) {
            QTextLayout::FormatRange range{
                static_cast<int>(at), static_cast<int>(FindText_.size()), {}};
            range.format.setBackground(mark);
            formats.append(range);
        }
    }
    const TTextPosition from = std::min(Anchor_, Cursor_);
    const TTextPosition to = std::max(Anchor_, Cursor_);
    const bool selected = from != to && line >= from.Line && line <= to.Line;
    if (selected) {
        const int64_t first = line == from.Line ? from.Column : 0;
        const int64_t last = line == to.Line ? to.Column : text.size();
        QTextLayout::FormatRange range{static_cast<int>(first), static_cast<int>(last - first), {}};
        range.format.setBackground(palette().color(QPalette::Highlight));
        range.format.setForeground(palette().color(QPalette::HighlightedText));
        formats.append(range);
    }
    painter.setPen(palette().color(QPalette::Text));
    const QPointF origin(TextMargin - HorizontalOffset_, top);
    layout.draw(&painter, origin, formats);
    if (selected && line != to.Line) {
        // A selection running on past this line's end marks its line break with one cell.
        const qreal x = origin.x() + layout.lineAt(0).naturalTextWidth();
        painter.fillRect(QRectF(x, top, AverageCharWidth(), LineHeight()),
                         palette().color(QPalette::Highlight));
    }
}

void TLazyTextView::PaintProgress(QPainter& painter) const {
    const QString text = QStringLiteral("%1\u2026 %2 %  (Escape cancels)")
                             .arg(JobText_)
                             .arg(static_cast<int>(JobDone_ * 100));
    const QRect box(0, viewport()->height() - LineHeight() - 4, viewport()->width(),
                    LineHeight() + 4);
    painter.fillRect(box, palette().color(QPalette::Window));
    painter.fillRect(QRect(box.topLeft(), QSize(static_cast<int>(box.width() * JobDone_), 2)),
                     palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(box.adjusted(TextMargin, 2, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

void TLazyTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    PlaceFindBar();
    UpdateScrollRange();
}

void TLazyTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Layouts_.clear();
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

void TLazyTextView::MoveTo(TTextPosition to, bool select) {
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

// A match stands in the middle of the view, so that the lines around it can be read.
void TLazyTextView::Select(TTextMatch match) {
    Anchor_ = match.From;
    Cursor_ = match.To;
    EnsureCaretVisible(true);
    OfferPrimarySelection();
    viewport()->update();
}

void TLazyTextView::EnsureCaretVisible(bool centre) {
    QScrollBar& bar = *verticalScrollBar();
    const int64_t rows = VisibleLineCount();
    if (centre && (Cursor_.Line < bar.value() || Cursor_.Line >= bar.value() + rows - 1)) {
        bar.setValue(static_cast<int>(std::max<int64_t>(0, Cursor_.Line - rows / 2)));
    } else if (Cursor_.Line < bar.value()) {
        bar.setValue(static_cast<int>(Cursor_.Line));
    } else if (Cursor_.Line >= bar.value() + rows) {
        bar.setValue(static_cast<int>(Cursor_.Line - rows + 1));
    }
    if (Cursor_.Line >= LineCount()) {
        return;
    }
    const qreal charWidth = AverageCharWidth();
    const qreal x = ColumnX(Cursor_.Line, Cursor_.Column) + HorizontalOffset_ - TextMargin;
    const qreal room = std::max(charWidth, viewport()->width() - 2 * TextMargin - charWidth);
    if (x < HorizontalOffset_) {
        HorizontalOffset_ = static_cast<int>(std::max<qreal>(0, x - room / 4));
    } else if (x > HorizontalOffset_ + room) {
        HorizontalOffset_ = static_cast<int>(std::min<qreal>(x - room + room / 4, INT32_MAX));
    }
}

void TLazyTextView::ScrollHorizontally(int pixels) {
    const qreal widest = static_cast<qreal>(std::min<uint64_t>(Model_->LongestLine(),
                                                               TLogTextModel::MaxShownBytes)) *
                         TabWidth * AverageCharWidth();
    const qreal limit = std::max<qreal>(0, widest - viewport()->width() / 2.0);
    HorizontalOffset_ = static_cast<int>(
        std::clamp<qreal>(qreal(HorizontalOffset_) + pixels, 0, std::min<qreal>(limit, INT32_MAX)));
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
    ScrollHorizontally(static_cast<int>(-delta.x() * WheelColumns * AverageCharWidth() / 120));
    event->accept();
}

bool TLazyTextView::MoveCaret(const QKeyEvent& event) {
    struct TMove {
        QKeySequence::StandardKey Move;
        QKeySequence::StandardKey Select;
        TTextPosition (*To)(const TLazyTextView& view, TTextPosition at);
    };
    static const TMove Moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().NextChar(at); }},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().PreviousChar(at); }},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().NextWord(at); }},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().PreviousWord(at); }},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().LinesDown(at, 1); }},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().LinesUp(at, 1); }},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage,
         [](const TLazyTextView& v, TTextPosition at) {
             v.verticalScrollBar()->setValue(v.verticalScrollBar()->value() + v.VisibleLineCount());
             return v.Model().LinesDown(at, v.VisibleLineCount());
         }},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         [](const TLazyTextView& v, TTextPosition at) {
             v.verticalScrollBar()->setValue(v.verticalScrollBar()->value() - v.VisibleLineCount());
             return v.Model().LinesUp(at, v.VisibleLineCount());
         }},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().LineStart(at); }},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine,
         [](const TLazyTextView& v, TTextPosition at) { return v.Model().LineEnd(at); }},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         [](const TLazyTextView& v, TTextPosition) { return v.Model().Start(); }},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument,
         [](const TLazyTextView& v, TTextPosition) { return v.Model().End(); }},
    };
    for (const TMove& move : Moves) {
        const bool select = event.matches(move.Select);
        if (select || event.matches(move.Move)) {
            if (LineCount() > 0) {
                MoveTo(move.To(*this, Cursor_), select);
            }
            return true;
        }
    }
    return false;
}

void TLazyTextView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        (Busy() || FindBarShown())) {
        if (Busy()) {
            CancelJob();
        } else {
            CloseFindBar();
        }
    } else if (event->matches(QKeySequence::Copy)) {
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

void TLazyTextView::PlaceFindBar() {
    const int height = FindBar_->sizeHint().height();
    const QRect inside = contentsRect();
    FindBar_->setGeometry(inside.left(), inside.bottom() + 1 - height, inside.width(), height);
}

// The bar takes the lowest rows of the box, which grows shorter meanwhile: it covers no text.
void TLazyTextView::OpenFindBar() {
    if (!FindBarShown()) {
        setViewportMargins(0, 0, 0, FindBar_->sizeHint().height());
        PlaceFindBar();
        FindBar_->show();
        UpdateScrollRange();
    }
    if (HasSelection() && Anchor_.Line == Cursor_.Line) {
        FindField_->setText(SelectedText());
    }
    FindField_->setFocus(Qt::ShortcutFocusReason);
    FindField_->selectAll();
}

void TLazyTextView::CloseFindBar() {
    if (!FindBarShown()) {
        return;
    }
    CancelJob();
    FindBar_->hide();
    setViewportMargins(0, 0, 0, 0);
    UpdateScrollRange();
    setFocus(Qt::OtherFocusReason);
    viewport()->update();
}

bool TLazyTextView::FindBarShown() const {
    return !FindBar_->isHidden();
}

void TLazyTextView::FindFromKeyboard(bool open, bool forward) {
    if (open || FindField_->text().isEmpty()) {
        OpenFindBar();
        return;
    }
    if (!Find(FindField_->text(), forward) && !Busy()) {
        QApplication::beep();
    }
}

bool TLazyTextView::Find(const QString& text, bool forward) {
    if (text.isEmpty() || LineCount() == 0) {
        return false;
    }
    FindText_ = text;
    const TTextMatch current{Anchor_, Cursor_};
    if (Model_->ByteCount(0, LineCount()) <= ForegroundBytes) {
        const std::optional<TTextMatch> found = Model_->Find(text, current, forward);
        if (found) {
            Select(*found);
        }
        CountMatches();
        viewport()->update();
        emit SearchEnded(found.has_value());
        return found.has_value();
    }
    JobText_ = QStringLiteral("Searching");
    StartJob([this, text, current, forward, model = Model_](const std::atomic<bool>& cancel,
                                                            uint64_t generation) {
        const auto goOn = [&](double done) {
            ShowJobProgress(generation, done);
            return !cancel.load();
        };
        const std::optional<TTextMatch> found = model->Find(text, current, forward, goOn);
        std::optional<TLogTextModel::TCount> count;
        if (found && !cancel.load()) {
            count = model->Count(text, *found, goOn);
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, found, count, cancelled = cancel.load()] {
                if (generation != Generation_) {
                    return;
                }
                EndJob();
                if (found) {
                    Select(*found);
                }
                FindCount_->setText(
                    count       ? QStringLiteral("%1 of %2").arg(count->Index).arg(count->Total)
                    : cancelled ? QString()
                                : QStringLiteral("no match"));
                viewport()->update();
                emit SearchEnded(found.has_value());
            },
            Qt::QueuedConnection);
    });
    return false;
}

void TLazyTextView::CountMatches() {
    const std::optional<TLogTextModel::TCount> count =
        Model_->Count(FindText_, {std::min(Anchor_, Cursor_), std::max(Anchor_, Cursor_)});
    FindCount_->setText(!count || count->Total == 0
                            ? QStringLiteral("no match")
                            : QStringLiteral("%1 of %2").arg(count->Index).arg(count->Total));
}

void TLazyTextView::StartJob(std::function<void(const std::atomic<bool>&, uint64_t)> work) {
    CancelJob();
    const uint64_t generation = ++Generation_;
    JobDone_ = 0;
    Job_ = std::make_unique<TTextJob>(
        [work = std::move(work), generation](const std::atomic<bool>& cancel) {
            work(cancel, generation);
        });
    viewport()->update();
}

void TLazyTextView::EndJob() {
    Job_.reset();
    viewport()->update();
}

// Waits only for the piece of work under way: every job asks to go on between pieces.
void TLazyTextView::CancelJob() {
    if (Job_) {
        ++Generation_;
        Job_.reset();
        viewport()->update();
    }
}

void TLazyTextView::ShowJobProgress(uint64_t generation, double done) {
    QMetaObject::invokeMethod(
        this,
        [this, generation, done] {
            if (generation == Generation_) {
                JobDone_ = done;
                viewport()->update();
            }
        },
        Qt::QueuedConnection);
}

TTextPosition TLazyTextView::PositionAt(QPointF point) const {
    const int64_t row =
        static_cast<int64_t>(std::max<qreal>(0, point.y() - TextMargin)) / LineHeight();
    const int64_t line =
        std::clamp<int64_t>(FirstVisibleLine() + row, 0, std::max<int64_t>(0, LineCount() - 1));
    if (LineCount() == 0) {
        return {};
    }
    const QTextLine text = LineLayout(line).lineAt(0);
    const int column = text.xToCursor(point.x() - TextMargin + HorizontalOffset_);
    return {line, std::clamp<int64_t>(column, 0, Model_->LineLength(line))};
}

void TLazyTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    Cursor_ = PositionAt(event->position());
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
    const QPointF point = event->position();
    // Dragging past an edge scrolls on, line by line or a few columns at a time.
    if (point.y() < 0) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    } else if (point.y() > viewport()->height()) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    if (point.x() < 0) {
        ScrollHorizontally(static_cast<int>(-2 * AverageCharWidth()));
    } else if (point.x() > viewport()->width()) {
        ScrollHorizontally(static_cast<int>(2 * AverageCharWidth()));
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
    const TTextMatch word = Model_->WordAt(PositionAt(event->position()));
    Anchor_ = word.From;
    Cursor_ = word.To;
    OfferPrimarySelection();
    viewport()->update();
}
