#pragma once

#include <QAccessibleWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/LogTextModel.h"

class TLazyTextView;

// The text box as assistive technologies read it: a read-only multi-line text whose
// characters are the lines as shown, each followed by a line break. Offsets count those
// characters; the table of where each line begins is made when first asked for, so a box
// that no screen reader looks at pays nothing.
class TTextViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit TTextViewAccessible(TLazyTextView* view);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // Where a place of the text stands among its characters, and back.
    int OffsetOf(TTextPosition at) const;
    TTextPosition PositionOf(int offset) const;

    // Installs the factory that gives every text box this interface.
    static void Install();

  private:
    TLazyTextView& View() const;
    const std::vector<int64_t>& LineOffsets() const;

    mutable std::weak_ptr<const TLogTextModel> IndexedModel_;
    mutable const TLogTextModel* IndexedModelAddress_ = nullptr;
    mutable std::vector<int64_t>
        LineOffsets_;  // line i begins at LineOffsets_[i]; one more at the end
};
