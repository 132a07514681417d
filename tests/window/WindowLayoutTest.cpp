// The window as it stands before any file: size, fonts, blank charts, idle selectors.
#include <QFontInfo>

#include "app/LogLoader.h"
#include "charts/MonitorGraphics.h"
#include "tests/window/WindowTestSupport.h"

namespace {

struct FontUse {
    const char* Name;
    const char* Family;
    int PixelSize;
    bool Bold;
};

// 8 pt and 9 pt at the 96 dots per inch the layout was drawn for.
const FontUse Fonts[] = {
    {"lbCheckResult", "Liberation Sans", 11, false},
    {"Label1", "Liberation Sans", 11, true},
    {"lbCurrentCell", "Liberation Mono", 12, true},
    {"mmFileContent", "Liberation Mono", 11, false},
};

// Where FormCreate puts the selectors: direction 0 at the top, 45 degrees apart.
const QPoint DefaultSelectorCorners[8] = {{53, 13}, {81, 25}, {93, 53}, {81, 81},
                                          {53, 93}, {25, 81}, {13, 53}, {25, 25}};

using WindowLayout = WindowFixture;

TEST_F(WindowLayout, FixedClientAreaOnTheButtonFace) {
    MakeWindow();
    ShowWindow();
    EXPECT_EQ(Window->minimumSize(), QSize(695, 505));
    EXPECT_EQ(Window->maximumSize(), QSize(695, 505));
    EXPECT_EQ(Window->windowTitle(), "NORVA-G Viewer");
    EXPECT_FALSE(Window->windowIcon().isNull());
    EXPECT_EQ(Window->palette().color(QPalette::Window), QColor(ButtonFaceColor));
    // Labels size themselves: the column header must not lose its last column.
    const QWidget& header = Control<QWidget>("Label3");
    EXPECT_EQ(header.width(), header.sizeHint().width());
    EXPECT_LE(header.geometry().right(), header.parentWidget()->width());
}

TEST_F(WindowLayout, FontsAreTheInstalledStandInsAtLayoutPixelSizes) {
    MakeWindow();
    ShowWindow();
    for (const FontUse& use : Fonts) {
        const QFont font = Control<QWidget>(use.Name).font();
        EXPECT_EQ(QFontInfo(font).family(), use.Family) << use.Name;
        EXPECT_EQ(font.pixelSize(), use.PixelSize) << use.Name;
        EXPECT_EQ(font.bold(), use.Bold) << use.Name;
    }
}

TEST_F(WindowLayout, BeforeAnyLoadChartsStayBlankAndSelectorsAreOff) {
    MakeWindow();
    ShowWindow();
    for (int pass = 0; pass < 2; ++pass) {  // the second pass is a cover-and-uncover repaint
        for (const char* name : {"pbPolarChart", "pbNeighborChart"}) {
            EXPECT_TRUE(AllPixelsAre(ShownImage(Control<QWidget>(name)), QColor(ButtonFaceColor)))
                << name << " pass " << pass;
        }
    }
    EXPECT_FALSE(Window->Loader().State().DataLoaded);
    for (int index = 0; index < 8; ++index) {
        EXPECT_FALSE(Selector(index).isEnabled()) << index;
        EXPECT_EQ(Selector(index).pos(), DefaultSelectorCorners[index]) << index;
    }
    EXPECT_EQ(CheckedSelector(), -1);
    EXPECT_TRUE(Control<TLazyTextView>("mmFileContent").toPlainText().isEmpty());
    EXPECT_EQ(ContentColor(), QColor(Qt::white));
    EXPECT_TRUE(Errors.isEmpty());
}

}  // namespace
