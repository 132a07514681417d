#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// The read-only text box mmFileContent. It keeps the file's bytes in one block with the
// start of every line and paints only the lines in view, decoding them from Windows-1252
// as they appear: a log of a gigabyte scrolls as smoothly as a short one, where a text
// editor widget would lay out every line first. Vertical scroll bar only, no wrapping, one
// fixed-width font. Mouse selection (press, drag, shift-click) and Ctrl+C copy whole
// characters; tabs show and copy as blanks up to the next multiple of eight columns.
class TLazyTextView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit TLazyTextView(QWidget* parent = nullptr);

    void SetLines(const std::vector<std::string>& lines);
    void Clear();

    int64_t LineCount() const { return static_cast<int64_t>(Starts_.size()) - 1; }
    // Line `index` as shown, decoded; an empty text outside 0..LineCount()-1.
    QString LineText(int64_t index) const;
    // Every line joined with LF; meant for short texts.
    QString toPlainText() const;
    // The selected text, lines joined with LF; empty when nothing is selected.
    QString SelectedText() const;
    bool HasSelection() const { return Anchor_ != Cursor_; }
    void SelectAll();
    void CopySelection() const;
    int64_t FirstVisibleLine() const;
    int VisibleLineCount() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    struct TPosition {
        int64_t Line = 0;
        int64_t Column = 0;
        auto operator<=>(const TPosition&) const = default;
    };

    void UpdateScrollRange();
    TPosition PositionAt(QPoint point) const;
    int LineHeight() const;
    void PaintSelection(QPainter& painter, int64_t line, int top) const;

    std::string Bytes_;
    std::vector<uint64_t> Starts_{0};  // line i is Bytes_[Starts_[i], Starts_[i + 1])
    TPosition Anchor_;
    TPosition Cursor_;
};
