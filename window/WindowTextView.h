#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QClipboard>
#include <QString>
#include <QTextLayout>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/LogFile.h"
#include "app/LogTextModel.h"

class QLabel;
class QLineEdit;
class QWidget;

// Long work of the text box (finding the lines of a large log, a search, counting matches) on
// a thread of its own. The result comes back through the box's event loop, tagged with the
// generation it was asked under; Cancel() returns at once.
class TTextJob {
  public:
    explicit TTextJob(std::function<void(const std::atomic<bool>& cancel)> work);
    ~TTextJob();  // cancels, and waits for the piece of work under way
    TTextJob(const TTextJob&) = delete;
    TTextJob& operator=(const TTextJob&) = delete;
    void Cancel() { Cancel_.store(true); }

  private:
    std::atomic<bool> Cancel_{false};
    std::thread Thread_;
};

// The read-only text box mmFileContent. It keeps the file's bytes in one block (a
// TLogTextModel) and paints only the lines in view: a log of a gigabyte scrolls as smoothly as
// a short one. Vertical scroll bar only, no wrapping; horizontally the view follows the caret
// and Shift+wheel or a sideways swipe. Caret, selection, hit-testing and find highlights use
// the glyph positions of the very layout the line is painted with, so what is highlighted is
// what is copied at any font size and scale. Keys as a read-only text view: arrows, Home/End,
// page keys, Ctrl+Home/End, Shift selecting, Ctrl+A, Ctrl+C; the selection is offered to
// middle-click paste. Ctrl+F opens a find bar below the text (search as you type, Enter/F3 and
// Shift+F3, the count of matches); finding the lines of a large log and searching it run in
// the background, with progress, and Escape cancels them.
class TLazyTextView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit TLazyTextView(QWidget* parent = nullptr);
    ~TLazyTextView() override;

    // Shows the text, keeping its buffer (no copy of the bytes).
    void SetText(const TLogText& text);
    // The lines, each ended by LF, in a text of their own.
    void SetLines(const std::vector<std::string>& lines);
    void Clear();

    const TLogTextModel& Model() const { return *Model_; }
    int64_t LineCount() const { return Model_->LineCount(); }
    // Line `index` as shown, decoded; an empty text outside 0..LineCount()-1.
    QString LineText(int64_t index) const { return Model_->LineText(index); }
    // Every line joined with LF; meant for short texts.
    QString toPlainText() const;
    // The selected text, lines joined with LF, whole however long its lines.
    QString SelectedText() const { return Model_->Text(Anchor_, Cursor_); }
    bool HasSelection() const { return Anchor_ != Cursor_; }
    void SelectAll();
    void CopySelection();
    int64_t FirstVisibleLine() const;
    int VisibleLineCount() const;
    int HorizontalOffset() const { return HorizontalOffset_; }
    int64_t CursorLine() const { return Cursor_.Line; }
    int64_t CursorColumn() const { return Cursor_.Column; }
    // Where column `column` of line `line` begins in the viewport, as painted.
    qreal ColumnX(int64_t line, int64_t column) const;
    // Long work under way (lines of a large log, a search): its progress shows in the box.
    bool Busy() const { return Job_ != nullptr; }

    // The find bar: shown by Ctrl+F, which searches for `text` (or what the bar holds).
    void OpenFindBar();
    void CloseFindBar();
    bool FindBarShown() const;
    QLineEdit& FindField() { return *FindField_; }
    QLabel& FindCount() { return *FindCount_; }
    // Selects the next (or previous) match of `text` from the current one; false when there is
    // none. Large texts are searched in the background: the result then arrives later.
    bool Find(const QString& text, bool forward);
    // F3 and Shift+F3: the next or previous match of what the bar holds; Ctrl+F opens the bar.
    void FindFromKeyboard(bool open, bool forward);
    // Tells that a copy was cut short (replaceable so that tests never block).
    std::function<void(const QString& message)> ShowNotice;

  signals:
    void SearchEnded(bool found);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void ShowModel(std::shared_ptr<const TLogTextModel> model);
    void UpdateScrollRange();
    TTextPosition PositionAt(QPointF point) const;
    int LineHeight() const;
    qreal AverageCharWidth() const;
    const QTextLayout& LineLayout(int64_t line) const;
    void PaintLine(QPainter& painter, int64_t line, int top) const;
    void PaintProgress(QPainter& painter) const;
    bool MoveCaret(const QKeyEvent& event);
    void MoveTo(TTextPosition to, bool select);
    void Select(TTextMatch match);
    void EnsureCaretVisible(bool centre = false);
    void ScrollHorizontally(int pixels);
    void RestartBlink();
    void OfferPrimarySelection();
    void PutSelection(QClipboard::Mode mode);
    void StartJob(std::function<void(const std::atomic<bool>&, uint64_t)> work);
    void EndJob();
    void CancelJob();
    void ShowJobProgress(uint64_t generation, double done);
    void CountMatches();
    void PlaceFindBar();

    std::shared_ptr<const TLogTextModel> Model_;
    TTextPosition Anchor_;
    TTextPosition Cursor_;
    int HorizontalOffset_ = 0;
    bool CaretShown_ = true;
    QBasicTimer Blink_;
    QString FindText_;
    // The layouts of the lines last painted, by line: laid out once per text, font and line.
    mutable std::vector<std::pair<int64_t, std::unique_ptr<QTextLayout>>> Layouts_;

    uint64_t Generation_ = 0;  // of the text and of each search
    std::unique_ptr<TTextJob> Job_;
    QString JobText_;
    double JobDone_ = 0;

    QWidget* FindBar_;
    QLineEdit* FindField_;
    QLabel* FindCount_;
};
