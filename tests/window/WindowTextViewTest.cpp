// The text box that paints only the lines in view: contents, scrolling, colour, selection.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
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
    // Just right of where character `column` of the visible row `row` begins, as painted.
    QPoint At(int row, int column) {
        const QFontMetricsF metrics(View.font());
        return QPointF(3 + column * metrics.horizontalAdvance('M') + 1,
                       3 + row * View.fontMetrics().lineSpacing() +
                           View.fontMetrics().lineSpacing() / 2)
            .toPoint();
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
    const qreal advance = QFontMetricsF(View.font()).horizontalAdvance('M');
    EXPECT_GT(shifted, 500 * advance);
    // The end of the line is drawn where the caret now stands.
    const QImage image = ShownImage(*View.viewport());
    const QColor base = View.palette().color(QPalette::Base);
    const int endX = static_cast<int>(3 + 599 * advance) - shifted;
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
    // Above the x-height of the 'a' of "delta".
    EXPECT_EQ(image.pixelColor(At(1, 12).x(), At(1, 12).y() - 5),
              View.palette().color(QPalette::Highlight));

    Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(View.FindField().text(), "delta");  // the selection to start with
    QTest::keyClicks(&View.FindField(), "CHARLIE");
    EXPECT_EQ(View.CursorLine(), 3);
    EXPECT_EQ(View.SelectedText(), "Charlie");
    Key(Qt::Key_F3);  // on past the end, from the top again
    EXPECT_EQ(View.CursorLine(), 1);
    Key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(View.CursorLine(), 3);
    EXPECT_EQ(View.FindCount().text(), "2 of 2");

    // A line far longer than the box shows is copied whole.
    View.SelectAll();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().size(), 11 + 1 + 13 + 1 + 100000 + 1 + 7);
}

// What is highlighted is what is copied: spans chosen by dragging and by the find bar, at font
// sizes whose glyphs are fractions of a pixel wide (and, run again by CTest, at scale factors
// 1.25, 1.5 and 2). The expected edges come from the font's own advances, as painting places
// the glyphs; the highlight must cover exactly the chosen glyphs' cells.
TEST_F(TextView, WhatIsHighlightedIsWhatIsCopied) {
    const QString signature = QStringLiteral("SIGNATURE: TEbLhF5CPaOUmyQ+q1LFZ4Lig0Y=");
    const QString record = QStringLiteral("03;967;52;0;1139;4;753;91");
    for (const int pixels : {11, 12, 13, 15}) {
        QFont font(QStringLiteral("Liberation Mono"));
        font.setPixelSize(pixels);
        View.setFont(font);
        View.SetLines({signature.toStdString(), record.toStdString()});
        const QFontMetricsF metrics(font);
        const int rowHeight = View.fontMetrics().lineSpacing();
        const auto edge = [&](const QString& line, int column) {
            return 3 + metrics.horizontalAdvance(line.left(column));
        };
        // The highlight spans from where glyph `from` begins to where glyph `to` begins: read
        // along the top row of the line's background.
        const auto expectExactly = [&](int row, const QString& line, int from, int to) {
            const QImage image = View.viewport()->grab().toImage();
            const qreal ratio = image.devicePixelRatio();
            const int y = static_cast<int>(std::ceil((3 + row * rowHeight) * ratio));
            const QColor highlight = View.palette().color(QPalette::Highlight);
            int left = -1;
            int right = -1;
            // Inside the focus frame, which is drawn in the selection colour.
            const int frame = static_cast<int>(std::ceil(2 * ratio));
            for (int x = frame; x < image.width() - frame; ++x) {
                if (image.pixelColor(x, y) == highlight) {
                    left = left < 0 ? x : left;
                    right = x + 1;
                }
            }
            // Within a pixel of the window, however the scale rounds the edges.
            EXPECT_NEAR(left, edge(line, from) * ratio, ratio) << pixels << " px, from " << from;
            EXPECT_NEAR(right, edge(line, to) * ratio, ratio) << pixels << " px, to " << to;
        };
        for (const auto& [from, to] : {std::pair{11, 16}, std::pair{0, 9}, std::pair{20, 33}}) {
            const qreal y = 3 + rowHeight / 2.0;
            const auto mouse = [&](QEvent::Type type, qreal x) {
                const QPointF at(x + 0.25, y);
                QMouseEvent event(
                    type, at, View.viewport()->mapToGlobal(at), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                    Qt::NoModifier);
                QApplication::sendEvent(View.viewport(), &event);
            };
            mouse(QEvent::MouseButtonPress, edge(signature, from));
            mouse(QEvent::MouseMove, edge(signature, to));
            mouse(QEvent::MouseButtonRelease, edge(signature, to));
            EXPECT_EQ(View.SelectedText(), signature.mid(from, to - from)) << pixels << " px";
            expectExactly(0, signature, from, to);
        }
        EXPECT_TRUE(View.Find(QStringLiteral("1139"), true));
        EXPECT_EQ(View.SelectedText(), "1139");
        expectExactly(1, record, 12, 16);
    }
}

TEST_F(TextView, ClearEmptiesTheBox) {
    View.SetLines(NumberedLines(10));
    View.Clear();
    EXPECT_EQ(View.LineCount(), 0);
    EXPECT_EQ(View.toPlainText(), QString());
}

}  // namespace
