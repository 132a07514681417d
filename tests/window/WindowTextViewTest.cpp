// The text box that paints only the lines in view: contents, scrolling, colour, selection.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <string>
#include <vector>

#include "tests/window/WindowTestSupport.h"

namespace {

std::vector<std::string> NumberedLines(int count) {
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i) {
        lines.push_back("line " + std::to_string(i));
    }
    return lines;
}

class TextView : public ::testing::Test {
  protected:
    void SetUp() override {
        View.resize(373, 275);
        QFont font(QStringLiteral("Liberation Mono"));
        font.setPixelSize(11);
        View.setFont(font);
        View.show();
        QCoreApplication::processEvents();
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&View, static_cast<Qt::Key>(key), modifiers);
    }
    // The middle of character `column` of the visible row `row`.
    QPoint At(int row, int column) {
        const QFontMetrics metrics = View.fontMetrics();
        return {3 + column * metrics.horizontalAdvance('M') + 1,
                3 + row * metrics.lineSpacing() + metrics.lineSpacing() / 2};
    }
    void Mouse(QEvent::Type type, QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, View.viewport()->mapToGlobal(at), Qt::LeftButton, held,
                          modifiers);
        QApplication::sendEvent(View.viewport(), &event);
    }

    TLazyTextView View;
};

struct ContentCase {
    const char* name;
    std::vector<std::string> lines;
    QStringList shown;
};

void PrintTo(const ContentCase& c, std::ostream* os) {
    *os << c.name;
}

class TextViewContent : public TextView, public ::testing::WithParamInterface<ContentCase> {};

TEST_P(TextViewContent, ShowsEachLineDecoded) {
    View.SetLines(GetParam().lines);
    ASSERT_EQ(View.LineCount(), GetParam().shown.size());
    for (int i = 0; i < GetParam().shown.size(); ++i) {
        EXPECT_EQ(View.LineText(i), GetParam().shown[i]) << i;
    }
    EXPECT_EQ(View.toPlainText(), GetParam().shown.join('\n'));
    EXPECT_EQ(View.LineText(-1), QString());
    EXPECT_EQ(View.LineText(View.LineCount()), QString());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TextViewContent,
    ::testing::Values(
        ContentCase{"none", {}, {}}, ContentCase{"empty_lines_kept", {"", "a", ""}, {"", "a", ""}},
        ContentCase{"code_page",
                    {"K\xF6ln \x80", "\x81\x9F"},
                    {QString::fromUtf8("K\u00F6ln \u20AC"), QString::fromUtf8("\u0081\u0178")}},
        ContentCase{"tabs_to_eight_columns",
                    {"a\tb", "\tc", "12345678\td"},
                    {"a       b", "        c", "12345678        d"}},
        ContentCase{"blanks_kept", {"  x  "}, {"  x  "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextView, KeysAndWheelScrollALongText) {
    View.SetLines(NumberedLines(200000));
    const int page = View.VisibleLineCount();
    ASSERT_GT(page, 5);
    EXPECT_EQ(View.FirstVisibleLine(), 0);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(View.FirstVisibleLine(), 200000 - page);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(View.FirstVisibleLine(), 200000 - 2 * page);
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(View.FirstVisibleLine(), 0);
    // The caret moves first; the text scrolls once it would leave the view.
    for (int line = 1; line < page; ++line) {
        Key(Qt::Key_Down);
    }
    EXPECT_EQ(View.CursorLine(), page - 1);
    EXPECT_EQ(View.FirstVisibleLine(), 0);
    Key(Qt::Key_Down);
    EXPECT_EQ(View.FirstVisibleLine(), 1);
    QWheelEvent wheel(QPointF(50, 50), View.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View.viewport(), &wheel);
    EXPECT_GT(View.FirstVisibleLine(), 1);
    // A new text starts at its top again.
    View.SetLines(NumberedLines(3));
    EXPECT_EQ(View.FirstVisibleLine(), 0);
    EXPECT_EQ(View.verticalScrollBar()->maximum(), 0);
}

TEST_F(TextView, EscapeGoesOnToTheWindow) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&View, &escape);
    EXPECT_FALSE(escape.isAccepted());
}

TEST_F(TextView, PaintsTheVisibleLinesOnTheBackgroundColour) {
    QPalette palette = View.palette();
    palette.setColor(QPalette::Base, QColor(208, 255, 208));
    View.setPalette(palette);
    std::vector<std::string> lines = NumberedLines(1000);
    lines.back() = std::string(40, '#');
    View.SetLines(lines);
    const QImage top = ShownImage(*View.viewport());
    EXPECT_EQ(top.pixelColor(top.width() - 2, 1), QColor(208, 255, 208));
    EXPECT_FALSE(AllPixelsAre(top.copy(0, 0, 60, 15), QColor(208, 255, 208)));
    Key(Qt::Key_End, Qt::ControlModifier);
    const QImage bottom = ShownImage(*View.viewport());
    EXPECT_NE(bottom, top);
    // The last row holds the long run of # marks, painted far to the right.
    const int lastRow = View.VisibleLineCount() - 1;
    const QPoint mark = At(lastRow, 30);
    EXPECT_FALSE(
        AllPixelsAre(bottom.copy(mark.x() - 8, mark.y() - 5, 16, 10), QColor(208, 255, 208)));
}

// The file's own buffer is shown: every kind of line end ends a line and shows nothing, also
// in what is copied.
TEST_F(TextView, ShowsTheFileTextWithItsLineEndsLeftOut) {
    View.SetText(TLogText::Copy("a\r\nb\rc\n\rd \n"));
    ASSERT_EQ(View.LineCount(), 5);
    EXPECT_EQ(View.toPlainText(), "a\nb\nc\n\nd ");
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View.SelectedText(), "a\nb\nc\n\nd ");
}

TEST_F(TextView, MouseSelectsAndCtrlCCopies) {
    View.SetLines({"alpha", "bravo", "charlie"});
    Mouse(QEvent::MouseButtonPress, At(0, 2));
    Mouse(QEvent::MouseMove, At(2, 4));
    Mouse(QEvent::MouseButtonRelease, At(2, 4));
    EXPECT_EQ(View.SelectedText(), "pha\nbravo\nchar");
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "pha\nbravo\nchar");
    // Shift-click moves the end, keeping the start.
    Mouse(QEvent::MouseButtonPress, At(1, 1), Qt::ShiftModifier);
    EXPECT_EQ(View.SelectedText(), "pha\nb");
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(View.SelectedText(), "alpha\nbravo\ncharlie");
    Mouse(QEvent::MouseButtonPress, At(0, 1));
    EXPECT_FALSE(View.HasSelection());
}

TEST_F(TextView, CaretReachesEveryColumnOfALongLineAndTheViewFollows) {
    const std::string record = "03;" + std::string(596, 'x') + "END";
    View.SetLines({"short", record, "tail"});
    View.setFocus();
    Key(Qt::Key_Down);
    Key(Qt::Key_End);
    EXPECT_EQ(View.CursorColumn(), 602);
    const int shifted = View.HorizontalOffset();
    EXPECT_GT(shifted, 500 * View.fontMetrics().horizontalAdvance('M'));
    // The end of the line is drawn where the caret now stands.
    const QImage image = ShownImage(*View.viewport());
    const QColor base = View.palette().color(QPalette::Base);
    const int endX = 3 + 599 * View.fontMetrics().horizontalAdvance('M') - shifted;
    EXPECT_FALSE(AllPixelsAre(image.copy(endX, At(1, 0).y() - 4, 20, 8), base));
    Key(Qt::Key_Home);
    EXPECT_EQ(View.HorizontalOffset(), 0);
    // Shift+wheel and a sideways swipe scroll the columns, the plain wheel does not.
    for (const auto& [delta, modifiers] : {std::pair{QPoint(0, -120), Qt::ShiftModifier},
                                           std::pair{QPoint(-120, 0), Qt::NoModifier}}) {
        const int before = View.HorizontalOffset();
        QWheelEvent wheel(QPointF(50, 50), View.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          delta, Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(View.viewport(), &wheel);
        EXPECT_GT(View.HorizontalOffset(), before);
    }
    EXPECT_EQ(View.FirstVisibleLine(), 0);
}

TEST_F(TextView, KeysDoubleClickAndFindSelectLikeATextView) {
    const std::string huge(100000, 'h');
    View.SetLines({"alpha bravo", "charlie delta", huge, "Charlie"});
    View.setFocus();
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(View.SelectedText(), "alpha ");
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(View.SelectedText(), "alpha bravo\ncharli");
    Key(Qt::Key_Left);
    EXPECT_FALSE(View.HasSelection());
    Mouse(QEvent::MouseButtonDblClick, At(1, 10));
    EXPECT_EQ(View.SelectedText(), "delta");
    // Selected text takes the palette's selection colours.
    const QImage image = ShownImage(*View.viewport());
    EXPECT_EQ(image.pixelColor(At(1, 10).x(), At(1, 10).y() - 5),
              View.palette().color(QPalette::Highlight));

    QStringList asked;
    View.AskFindText = [&asked](const QString& previous) {
        asked.append(previous);
        return QStringLiteral("CHARLIE");
    };
    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(View.CursorLine(), 3);
    EXPECT_EQ(View.SelectedText(), "Charlie");
    Key(Qt::Key_F3);  // on past the end, from the top again
    EXPECT_EQ(View.CursorLine(), 1);
    Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(View.CursorLine(), 3);
    EXPECT_EQ(asked, QStringList{QString()});

    // A line far longer than the box shows is copied whole.
    View.SelectAll();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().size(), 11 + 1 + 13 + 1 + 100000 + 1 + 7);
}

TEST_F(TextView, ClearEmptiesTheBox) {
    View.SetLines(NumberedLines(10));
    View.Clear();
    EXPECT_EQ(View.LineCount(), 0);
    EXPECT_EQ(View.toPlainText(), QString());
}

}  // namespace
