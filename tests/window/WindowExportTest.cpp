// Writing files from the window: the charts as PNG and the cells as CSV, only where the user
// chose, and the wait cursor on every way a log comes in.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <ostream>

#include "app/LogLoader.h"
#include "tests/window/WindowTestSupport.h"

namespace {

const QString SaveChart = QString::fromUtf8("Save chart as PNG\u2026");
const QString ExportCsv = QString::fromUtf8("Export cells as CSV\u2026");

QAction* FindAction(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    throw std::runtime_error("no menu entry " + text.toStdString());
}

class WindowExport : public WindowFixture {
  protected:
    void MakeSavingWindow() {
        MakeWindow();
        Window->ChooseSaveFile = [this](const QString&, const QString& suggested, const QString&) {
            Suggested.append(suggested);
            return NextSave;
        };
        ShowWindow();
    }
    TWindowPaintBox& Chart(const char* name) { return Control<TWindowPaintBox>(name); }
    bool Trigger(std::unique_ptr<QMenu> menu, const QString& text) {
        QAction* action = FindAction(*menu, text);
        if (!action->isEnabled()) {
            return false;
        }
        action->trigger();
        return true;
    }
    QStringList WrittenFiles() const { return QDir(Out.path()).entryList(QDir::Files); }

    QTemporaryDir Out;
    QString NextSave;
    QStringList Suggested;
};

struct ChartCase {
    const char* Chart;
    int Direction;  // selected before saving; -1 keeps the loader's choice
    const char* SuggestedName;
};

// Named by the file it suggests: the bytes of the case (addresses among them) would name each
// test differently in every build.
void PrintTo(const ChartCase& c, std::ostream* out) {
    *out << c.SuggestedName;
}

class ChartSave : public WindowExport, public ::testing::WithParamInterface<ChartCase> {};

TEST_P(ChartSave, WritesTheChartAsShownWhereChosen) {
    MakeSavingWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    if (GetParam().Direction >= 0) {
        Selector(GetParam().Direction).click();
    }
    TWindowPaintBox& chart = Chart(GetParam().Chart);
    NextSave = Out.filePath("chart.png");
    ASSERT_TRUE(Trigger(Window->ChartMenu(chart), SaveChart));

    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(Suggested, QStringList{SamplePath(GetParam().SuggestedName)});
    const QImage written(NextSave, "PNG");
    EXPECT_EQ(written.size(), chart.size());
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              chart.Image().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(WrittenFiles(), QStringList{"chart.png"});
}

INSTANTIATE_TEST_SUITE_P(
    Charts, ChartSave,
    ::testing::Values(ChartCase{"pbPolarChart", -1, "demo-gsmr-polar.png"},
                      ChartCase{"pbNeighborChart", -1, "demo-gsmr-direction0.png"},
                      ChartCase{"pbNeighborChart", 5, "demo-gsmr-direction5.png"}));

TEST_F(WindowExport, NothingToSaveBeforeALoadAndNothingWrittenOnCancel) {
    MakeSavingWindow();
    EXPECT_FALSE(Trigger(Window->ChartMenu(Chart("pbPolarChart")), SaveChart));
    EXPECT_FALSE(Trigger(Window->FileContentMenu(), ExportCsv));
    EXPECT_TRUE(Suggested.isEmpty());

    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    NextSave.clear();
    EXPECT_TRUE(Trigger(Window->ChartMenu(Chart("pbNeighborChart")), SaveChart));
    EXPECT_TRUE(Trigger(Window->FileContentMenu(), ExportCsv));
    EXPECT_EQ(Suggested.size(), 2);
    EXPECT_TRUE(WrittenFiles().isEmpty());
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(WindowExport, CsvIsWhatTheInspectorWrites) {
    MakeSavingWindow();
    const QString log = SamplePath("demo-gsmr.ktz");
    OpenThroughDialog(log);
    NextSave = Out.filePath("cells.csv");
    ASSERT_TRUE(Trigger(Window->FileContentMenu(), ExportCsv));
    EXPECT_EQ(Suggested, QStringList{SamplePath("demo-gsmr.csv")});

    QFile written(NextSave);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray csv = written.readAll();
    QProcess inspect;
    inspect.start(NORVA_INSPECT_EXE, {"--csv", log});
    ASSERT_TRUE(inspect.waitForFinished(60000));
    EXPECT_EQ(csv, inspect.readAllStandardOutput());
    EXPECT_TRUE(csv.contains(",0,2024-05-14T10:22:31,0,967,-52,DE-10,4711,1004,21,"));
}

TEST_F(WindowExport, UnwritablePlaceIsReported) {
    MakeSavingWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    NextSave = Out.filePath("no-such-folder/cells.csv");
    ASSERT_TRUE(Trigger(Window->FileContentMenu(), ExportCsv));
    NextSave = Out.filePath("no-such-folder/polar.png");
    ASSERT_TRUE(Trigger(Window->ChartMenu(Chart("pbPolarChart")), SaveChart));
    ASSERT_EQ(Errors.size(), 2);
    EXPECT_TRUE(Errors[0].contains(Out.filePath("no-such-folder/cells.csv")));
    EXPECT_TRUE(Errors[1].contains(Out.filePath("no-such-folder/polar.png")));
    EXPECT_FALSE(QFileInfo::exists(Out.filePath("no-such-folder")));
}

// Notes the application cursor at the moment the loader hands over the file's lines, and
// queues a key press and a click there, as a user does who grows impatient.
class CursorWatchingWindow : public TfmNorvaViewer {
  public:
    using TfmNorvaViewer::TfmNorvaViewer;
    void SetFileContent(const TLogText& text) override {
        const QCursor* cursor = QApplication::overrideCursor();
        Shapes.append(cursor != nullptr ? cursor->shape() : Qt::ArrowCursor);
        if (Shapes.size() == 1) {
            QCoreApplication::postEvent(
                this, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
            QWidget* open = findChild<QPushButton*>("btOpen");
            const QPointF centre = QRectF(open->rect()).center();
            for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                QCoreApplication::postEvent(
                    open, new QMouseEvent(
                              type, centre, open->mapToGlobal(centre), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier));
            }
        }
        TfmNorvaViewer::SetFileContent(text);
    }
    QList<Qt::CursorShape> Shapes;
};

TEST(WindowWaitCursor, ShownDuringEveryLoadWhileQueuedInputWaits) {
    const QString log = SamplePath("demo-gsmr.ktz");
    CursorWatchingWindow window(QFile::encodeName(log).toStdString());
    int dialogs = 0;
    window.ChooseLogFile = [&](const QString&) {
        ++dialogs;
        return log;
    };
    // The command-line file loads as the window shows; then the key press opens a log, and
    // the click arrives while that log loads and is dropped, as a modal wait drops it.
    window.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.StartHandled());
    EXPECT_EQ(dialogs, 1);
    window.findChild<QPushButton*>("btOpen")->click();
    window.WMDropFiles({QFile::encodeName(log).toStdString()});
    EXPECT_EQ(window.Shapes, QList<Qt::CursorShape>(4, Qt::WaitCursor));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
