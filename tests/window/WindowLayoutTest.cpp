// The window as it stands before any file: size, fonts, blank charts, idle selectors.
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QStyle>
#include <cmath>

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
    EXPECT_FALSE(Window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Window->windowIcon().isNull());
    EXPECT_EQ(Window->windowIcon().pixmap(48).size(), QSize(48, 48));
    EXPECT_EQ(Window->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));
    // Labels size themselves: the column header must not lose its last column.
    const QWidget& header = Control<QWidget>("Label3");
    EXPECT_EQ(header.width(), header.sizeHint().width());
    EXPECT_LE(header.geometry().right(), header.parentWidget()->width());
}

TEST(WindowPlacement, LayoutPositionWhenItFitsElseWholeOnTheScreen) {
    const struct {
        QRect Screen;
        QRect Available;
        QPoint Expected;
    } cases[] = {
        {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {296, 176}},
        {{0, 0, 1024, 768}, {0, 0, 1024, 768}, {296, 176}},
        {{0, 0, 800, 600}, {0, 0, 800, 600}, {105, 95}},      // moved left and up just enough
        {{0, 0, 1024, 630}, {0, 30, 1024, 600}, {296, 125}},  // a panel at the top, a short screen
        {{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}, {2216, 176}},  // the second screen of two
        // Too small: the top-left corner stays in view.
        {{0, 0, 640, 480}, {0, 0, 640, 480}, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WindowPosition(QSize(695, 505), c.Screen, c.Available), c.Expected)
            << c.Available.width() << 'x' << c.Available.height();
    }
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
            EXPECT_TRUE(AllPixelsAre(ShownImage(Control<QWidget>(name)),
                                     Window->palette().color(QPalette::Window)))
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

// The WCAG 2 contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette DarkPalette() {
    QPalette dark;
    const QColor face(53, 53, 53), base(30, 30, 30), text(232, 232, 232), off(120, 120, 120);
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Mid}) {
        dark.setColor(role, face);
    }
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        dark.setColor(role, text);
        dark.setColor(QPalette::Disabled, role, off);
    }
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    return dark;
}

class ApplicationPalette {
  public:
    explicit ApplicationPalette(const QPalette& palette) : Saved_(QApplication::palette()) {
        QApplication::setPalette(palette);
    }
    ~ApplicationPalette() { QApplication::setPalette(Saved_); }

  private:
    QPalette Saved_;
};

TEST_F(WindowLayout, EveryTextReadsOnItsBackgroundUnderLightAndDarkPalettes) {
    for (const bool dark : {false, true}) {
        const ApplicationPalette desktop(dark ? DarkPalette() : QApplication::palette());
        MakeWindow();
        ShowWindow();
        const QColor face = QApplication::palette().color(QPalette::Button);
        // The window stands on the desktop's button face, its charts' gap row too.
        EXPECT_EQ(ShownImage(*Window).pixelColor(300, 480), face) << dark;
        EXPECT_EQ(Window->Loader().NeighborChart().GapColor, face.rgba()) << dark;
        // One file of each verdict, then one that is not checked.
        for (const char* sample : {"demo-gsmr", "tampered", "unsigned", "old-firmware"}) {
            OpenThroughDialog(SamplePath(QString::fromLatin1(sample) + ".ktz"));
            const std::string where = std::string(sample) + (dark ? " dark" : " light");
            for (const QLabel* label : Window->findChildren<QLabel*>()) {
                const QPalette& p = label->palette();
                EXPECT_GE(Contrast(p.color(label->foregroundRole()), p.color(QPalette::Window)),
                          4.5)
                    << where << ' ' << label->objectName().toStdString();
            }
            for (const QGroupBox* box : Window->findChildren<QGroupBox*>()) {
                const QPalette& p = box->palette();
                EXPECT_GE(Contrast(p.color(QPalette::WindowText), p.color(QPalette::Window)), 4.5)
                    << where;
            }
            const QPalette content = Control<QWidget>("mmFileContent").palette();
            EXPECT_GE(Contrast(content.color(QPalette::Text), content.color(QPalette::Base)), 4.5)
                << where;
            for (const QPushButton* button : Window->findChildren<QPushButton*>()) {
                const QPalette& p = button->palette();
                EXPECT_GE(Contrast(p.color(QPalette::ButtonText), p.color(QPalette::Button)), 4.5)
                    << where;
            }
        }
        Window.reset();
    }
}

TEST_F(WindowLayout, SelectorsShowEveryStateWithinTheirBoxesInBuiltInStyles) {
    const QString saved = QApplication::style()->name();
    for (const char* style : {"Fusion", "Windows"}) {
        QApplication::setStyle(QString::fromLatin1(style));
        MakeWindow();
        ShowWindow();
        OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
        // Selected and not selected, each enabled and disabled (one selected at a time).
        Window->CheckSelector(0);
        const QImage selected = ShownImage(Selector(0));
        const QImage idle = ShownImage(Selector(1));
        Window->EnableSelector(2, false);
        const QImage idleOff = ShownImage(Selector(2));
        Window->EnableSelector(3, false);
        Window->CheckSelector(3);
        const QImage states[] = {selected, idle, idleOff, ShownImage(Selector(3))};
        const QColor face = Window->palette().color(QPalette::Window);
        for (int a = 0; a < 4; ++a) {
            ASSERT_EQ(states[a].size(), QSize(13, 13)) << style;
            for (int b = a + 1; b < 4; ++b) {
                EXPECT_NE(states[a], states[b]) << style << ' ' << a << ' ' << b;
            }
            // The ring touches all four sides: nothing of it is cut off.
            for (const QPoint edge : {QPoint(6, 0), QPoint(6, 12), QPoint(0, 6), QPoint(12, 6)}) {
                EXPECT_NE(states[a].pixelColor(edge), face) << style << ' ' << a;
            }
        }
        Window.reset();
    }
    QApplication::setStyle(saved);
}

}  // namespace
