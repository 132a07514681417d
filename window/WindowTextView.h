#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/LogFile.h"

// The read-only text box mmFileContent. It keeps the file's bytes in one block with the
// start of every line and paints only the lines in view, decoding them from Windows-1252
// as they appear: a log of a gigabyte scrolls as smoothly as a short one, where a text
// editor widget would lay out every line first. Vertical scroll bar only, no wrapping, one
// fixed-width font; horizontally the view follows the caret and Shift+wheel or a sideways
// touchpad swipe. It behaves as a read-only text view: a caret moved by the arrows, Home and
// End, the page keys and Ctrl+Home/End, with Shift selecting; selection by mouse, double-click
// (a word) and Ctrl+A, offered to middle-click paste as the primary selection; Ctrl+C copies;
// Ctrl+F finds, F3 and Shift+F3 find again forwards and backwards. Tabs show and copy as
// blanks up to the next multiple of eight columns.
class TLazyTextView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit TLazyTextView(QWidget* parent = nullptr);

    // Shows the text, keeping its buffer (no copy of the bytes) and the start of every line.
    void SetText(const TLogText& text);
    // The lines, each ended by LF, in a text of their own.
    void SetLines(const std::vector<std::string>& lines);
    void Clear();

    int64_t LineCount() const { return static_cast<int64_t>(Starts_.size()) - 1; }
    // Line `index` as shown, decoded; an empty text outside 0..LineCount()-1.
    QString LineText(int64_t index) const;
    // Every line joined with LF; meant for short texts.
    QString toPlainText() const;
    // The selected text, lines joined with LF, whole however long its lines; empty when
    // nothing is selected.
    QString SelectedText() const;
    bool HasSelection() const { return Anchor_ != Cursor_; }
    void SelectAll();
    void CopySelection() const;
    int64_t FirstVisibleLine() const;
    int VisibleLineCount() const;
    int HorizontalOffset() const { return HorizontalOffset_; }
    // The caret: line and column, counted from 0.
    int64_t CursorLine() const { return Cursor_.Line; }
    int64_t CursorColumn() const { return Cursor_.Column; }

    // Ctrl+F: asks for the text to find (replaceable so that tests never block); then the
    // next match after the caret is selected. Returns false when there is none.
    std::function<QString(const QString& previous)> AskFindText;
    bool Find(const QString& text, bool forward);
    // Ctrl+F (ask), F3 and Shift+F3 (ask only when nothing was searched for yet); a beep when
    // there is no match.
    void FindFromKeyboard(bool ask, bool forward);

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
    struct TPosition {
        int64_t Line = 0;
        int64_t Column = 0;
        auto operator<=>(const TPosition&) const = default;
    };

    std::string_view LineBytes(int64_t index) const;
    QString DecodedLine(int64_t index, size_t maxBytes) const;
    void UpdateScrollRange();
    TPosition PositionAt(QPoint point) const;
    int LineHeight() const;
    int CharWidth() const;
    int64_t LineLength(int64_t line) const;
    void PaintLine(QPainter& painter, int64_t line, int top) const;
    bool MoveCaret(const QKeyEvent& event);
    void MoveTo(TPosition to, bool select);
    void EnsureCaretVisible();
    void ScrollHorizontally(int pixels);
    void RestartBlink();
    void OfferPrimarySelection() const;

    // Line i is Text_[Starts_[i], Starts_[i + 1]) without the CR and LF that end it.
    TLogText Text_;
    std::vector<uint64_t> Starts_{0};
    uint64_t LongestLine_ = 0;
    TPosition Anchor_;
    TPosition Cursor_;
    int HorizontalOffset_ = 0;
    bool CaretShown_ = true;
    QBasicTimer Blink_;
    QString FindText_;
};
