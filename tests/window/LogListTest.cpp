// The log list of a folder: checked in the background, filtered, sorted, and stepping through
// it loads each log into the main window as Open would.
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <utility>

#include "app/LogLoader.h"
#include "tests/window/WindowTestSupport.h"
#include "window/LogListModel.h"
#include "window/LogListWindow.h"

namespace {

// Opens the samples folder through the main window and waits until every row is checked.
class LogListTest : public WindowFixture {
  protected:
    TLogListWindow& OpenSamples(const QString& folder = QString(NORVA_SAMPLES)) {
        MakeWindow();
        ShowWindow();
        Window->ChooseLogFolder = [folder](const QString&) { return folder; };
        QTest::keyClick(Window.get(), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
        TLogListWindow* list = Window->LogList();
        EXPECT_NE(list, nullptr);
        if (!list->Model().Done()) {
            QSignalSpy finished(&list->Model(), &TLogListModel::Finished);
            EXPECT_TRUE(finished.wait(30000));
        }
        return *list;
    }

    static QStringList Column(TLogListWindow& list, int column) {
        QStringList texts;
        for (int row = 0; row < list.Filter().rowCount(); ++row) {
            texts << list.Filter().index(row, column).data().toString();
        }
        return texts;
    }
};

TEST_F(LogListTest, EveryLogOfTheFolderGetsItsVerdictVersionAndColour) {
    TLogListWindow& list = OpenSamples();
    EXPECT_EQ(Column(list, TLogListModel::ColName),
              (QStringList{"demo-gsmr.ktz", "old-firmware.ktz", "rotated-22deg.ktz", "tampered.ktz",
                           "unsigned.ktz"}));
    EXPECT_EQ(Column(list, TLogListModel::ColVerdict),
              (QStringList{"The signature is OK", "Not checked: software version 789 is below 790",
                           "The signature is OK", "The signature is NOT VALID",
                           "The file could not be interpreted"}));
    EXPECT_EQ(Column(list, TLogListModel::ColVersion),
              (QStringList{"795", "789", "795", "795", "795"}));
    EXPECT_EQ(Column(list, TLogListModel::ColFirstRecord).first(), "2024-05-14 10:22:31");
    EXPECT_EQ(list.Filter().index(3, TLogListModel::ColVerdict).data(Qt::BackgroundRole),
              QBrush(QColor(255, 208, 208)));
    EXPECT_EQ(list.CountLabel().text(), "5 logs checked");
}

TEST_F(LogListTest, FiltersAndSortingDecideWhatTheKeysStepThrough) {
    TLogListWindow& list = OpenSamples();
    // Each choice of the outcome filter shows exactly the logs of its outcomes.
    const std::pair<QString, QStringList> choices[] = {
        {"All problems", {"old-firmware.ktz", "tampered.ktz", "unsigned.ktz"}},
        {"Only OK", {"demo-gsmr.ktz", "rotated-22deg.ktz"}},
        {"Only NOT VALID", {"tampered.ktz"}},
        {"NOT VALID, harmless change", {}},
        {"Only not interpretable", {"unsigned.ktz"}},
        {"Only not checked", {"old-firmware.ktz"}},
        {"Only failed to load", {}},
    };
    for (const auto& [choice, names] : choices) {
        list.OutcomeFilter().setCurrentText(choice);
        EXPECT_EQ(list.OutcomeFilter().currentText(), choice);
        EXPECT_EQ(Column(list, TLogListModel::ColName), names) << choice.toStdString();
    }
    list.OutcomeFilter().setCurrentText("All logs");
    // Sizes and times sort by their values, equal ones by name: 3451 bytes come before 3454,
    // which the shown "3.37 KiB" of both would not tell.
    list.Table().sortByColumn(TLogListModel::ColSize, Qt::AscendingOrder);
    EXPECT_EQ(Column(list, TLogListModel::ColName),
              (QStringList{"rotated-22deg.ktz", "unsigned.ktz", "demo-gsmr.ktz", "tampered.ktz",
                           "old-firmware.ktz"}));
    list.Table().sortByColumn(TLogListModel::ColFirstRecord, Qt::DescendingOrder);
    EXPECT_EQ(Column(list, TLogListModel::ColName).first(), "rotated-22deg.ktz");
    list.Table().sortByColumn(TLogListModel::ColName, Qt::AscendingOrder);
    list.NameFilter().setText("E");  // any letter case
    EXPECT_EQ(Column(list, TLogListModel::ColName),
              (QStringList{"demo-gsmr.ktz", "old-firmware.ktz", "rotated-22deg.ktz", "tampered.ktz",
                           "unsigned.ktz"}));
    list.NameFilter().setText("tam");
    EXPECT_EQ(Column(list, TLogListModel::ColName), (QStringList{"tampered.ktz"}));
    list.NameFilter().setText("xyz");  // nothing left: no log is current any more
    list.NameFilter().clear();
    list.Table().sortByColumn(TLogListModel::ColVerdict, Qt::DescendingOrder);

    // Stepping with the main window's keys goes down the list in its order, loading each log.
    const auto loadedName = [this] { return LabelText("lbLogfileName"); };
    QStringList shown;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(Window.get(), Qt::Key_PageDown, Qt::ControlModifier);
        shown << QFileInfo(loadedName()).fileName();
    }
    EXPECT_EQ(shown, (QStringList{"old-firmware.ktz", "unsigned.ktz", "tampered.ktz",
                                  "rotated-22deg.ktz", "demo-gsmr.ktz"}));
    EXPECT_FALSE(Window->StepLog(1));  // at the end it stays
    QTest::keyClick(Window.get(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(QFileInfo(loadedName()).fileName(), "rotated-22deg.ktz");
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    // A log opened in the main window becomes the list's current row.
    Window->ChooseLogFile = [](const QString&) { return SamplePath("tampered.ktz"); };
    Window->findChild<QPushButton*>("btOpen")->click();
    EXPECT_EQ(list.Table().currentIndex().siblingAtColumn(0).data().toString(), "tampered.ktz");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    // Inside the screen's available area; quitting from the list ends the program.
    EXPECT_TRUE(list.screen()->availableGeometry().contains(list.frameGeometry()))
        << list.frameGeometry().x() << "," << list.frameGeometry().width();
    QTest::keyClick(&list, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(list.isVisible());
    EXPECT_FALSE(Window->isVisible());
}

// Copies a sample into `dir` under `name`, as the file system's bytes.
void CopySample(const QString& sample, const QDir& dir, const QString& name) {
    ASSERT_TRUE(QFile::copy(SamplePath(sample), dir.filePath(name))) << name.toStdString();
}

// A second folder opened while the first is still being checked shows only its own logs, and
// files that come, change and go below the open folder come, change and go in the list; the
// model stays sound throughout.
TEST(LogListModelTest, ReopeningAndFolderChangesKeepEachRowToItsOwnFile) {
    QTemporaryDir many;
    QTemporaryDir one;
    for (int i = 0; i < 60; ++i) {
        CopySample("demo-gsmr.ktz", QDir(many.path()), QStringLiteral("log%1.ktz").arg(i));
    }
    CopySample("demo-gsmr.ktz", QDir(one.path()), "B10.ktz");
    CopySample("unsigned.ktz", QDir(one.path()), "b9.ktz");
    TLogListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TLogListFilter sorted;
    sorted.setSourceModel(&model);
    sorted.sort(TLogListModel::ColName);
    model.Open(QFile::encodeName(many.path()).toStdString(), 1);
    model.Open(QFile::encodeName(one.path()).toStdString(), 1);
    const auto settled = [&](int rows) {
        return QTest::qWaitFor([&] { return model.Done() && model.rowCount() == rows; }, 10000);
    };
    ASSERT_TRUE(settled(2));
    QTest::qWait(200);  // late results of the first folder would arrive now
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.CheckedCount(), 2);
    // As a file manager sorts: letter case aside, numbers by value.
    EXPECT_EQ(sorted.index(0, 0).data().toString(), "b9.ktz");

    const auto outcome = [&](const QString& name) {
        const int row =
            model.RowOf(QFile::encodeName(QDir(one.path()).filePath(name)).toStdString());
        return row < 0 ? QVariant() : model.index(row, 0).data(TLogListModel::OutcomeRole);
    };
    CopySample("tampered.ktz", QDir(one.path()), "new.ktz");
    ASSERT_TRUE(settled(3));
    EXPECT_EQ(outcome("new.ktz"), static_cast<int>(TCheckOutcome::NotValid));
    {
        QFile rewritten(QDir(one.path()).filePath("B10.ktz"));
        ASSERT_TRUE(rewritten.open(QIODevice::WriteOnly | QIODevice::Truncate));
        rewritten.write("no log at all\r\n");
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return outcome("B10.ktz") == static_cast<int>(TCheckOutcome::NotChecked); }, 10000));
    ASSERT_TRUE(QDir(one.path()).rename("new.ktz", "renamed.ktz"));
    ASSERT_TRUE(QDir(one.path()).remove("b9.ktz"));
    ASSERT_TRUE(settled(2));
    EXPECT_FALSE(outcome("new.ktz").isValid());
    EXPECT_EQ(outcome("renamed.ktz"), static_cast<int>(TCheckOutcome::NotValid));
}

// The text of a PDF as a reader would copy it.
QString PdfText(const QString& pdf) {
    QProcess process;
    process.start("pdftotext", {pdf, "-"});
    EXPECT_TRUE(process.waitForFinished(60000)) << "pdftotext (poppler-utils) must be installed";
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The report of what the list shows: written in the background from the list's own results,
// saying what it covers; a place that cannot take the file is told before anything is drawn.
TEST_F(LogListTest, AReportOfAFilteredListSaysWhatItCovers) {
    QTemporaryDir logs;
    for (const char* sample : {"demo-gsmr.ktz", "old-firmware.ktz", "rotated-22deg.ktz",
                               "tampered.ktz", "unsigned.ktz"}) {
        CopySample(sample, QDir(logs.path()), sample);
    }
    CopySample("tampered.ktz", QDir(logs.path()), "tampered-copy.ktz");
    {
        // A signed log an editor gave a byte-order mark: NOT VALID, explained.
        QFile demo(SamplePath("demo-gsmr.ktz"));
        QFile marked(QDir(logs.path()).filePath("marked.ktz"));
        ASSERT_TRUE(demo.open(QIODevice::ReadOnly) && marked.open(QIODevice::WriteOnly));
        marked.write("\xEF\xBB\xBF" + demo.readAll());
    }
    TLogListWindow& list = OpenSamples(logs.path());
    list.OutcomeFilter().setCurrentText("NOT VALID, harmless change");
    EXPECT_EQ(Column(list, TLogListModel::ColVerdict),
              QStringList{"The signature is NOT VALID \u2014 byte-order mark added"});
    QStringList errors;
    list.ShowError = [&errors](const QString& message) { errors << message; };
    list.ChooseReportFile = [](const QString&) { return QStringLiteral("/proc/report.pdf"); };
    list.SaveReport();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains("could not be written")) << errors.first().toStdString();
    EXPECT_FALSE(list.WritingReport());

    QTemporaryDir out;
    list.ChooseReportFile = [&out](const QString&) { return out.filePath("problems"); };
    list.OutcomeFilter().setCurrentText("All problems");
    list.Table().sortByColumn(TLogListModel::ColName, Qt::DescendingOrder);
    EXPECT_EQ(list.CountLabel().text(), "5 of 7 logs shown, 7 checked");
    QSignalSpy ended(&list, &TLogListWindow::ReportEnded);
    list.SaveReport();
    ASSERT_TRUE(list.WritingReport());
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(ended.first().at(1).toString(), QString());
    const QString text = PdfText(out.filePath("problems.pdf")).simplified();
    EXPECT_TRUE(text.contains("Covers: 5 of 7 logs: all but OK")) << text.toStdString();
    EXPECT_TRUE(text.contains("Likely cause: a byte-order mark was added before its"));
    EXPECT_TRUE(text.contains("In order of: File, descending"));
    const qsizetype unsignedAt = text.indexOf("unsigned.ktz");
    const qsizetype tamperedAt = text.indexOf("tampered.ktz");
    EXPECT_TRUE(unsignedAt >= 0 && tamperedAt > unsignedAt) << text.toStdString();
    EXPECT_FALSE(text.contains("demo-gsmr.ktz"));
    EXPECT_TRUE(text.contains("Not checked: software version 789 is below 790"));
    // The bytes checked, named by their digest; the second copy names the first.
    QFile tampered(SamplePath("tampered.ktz"));
    ASSERT_TRUE(tampered.open(QIODevice::ReadOnly));
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(tampered.readAll(), QCryptographicHash::Sha256).toHex());
    EXPECT_GE(text.count(digest), 4);  // two rows of the summary, two pages
    EXPECT_TRUE(text.contains("The signature is NOT VALID (same content as tampered.ktz)"));
    // A cancelled report leaves no file.
    list.ChooseReportFile = [&out](const QString&) { return out.filePath("cancelled.pdf"); };
    list.SaveReport();
    list.CancelReport();
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_TRUE(ended.last().at(0).toBool());
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"problems.pdf"});
    EXPECT_EQ(errors.size(), 1);
}

TEST_F(LogListTest, UnreadableAndVanishedFilesGetARowAndTheRestIsChecked) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(SamplePath("demo-gsmr.ktz"), dir.filePath("a.ktz")));
    // Latin-1 "Köln.ktz": opened by its own bytes, which no text would give back.
    std::filesystem::copy_file(SamplePath("demo-gsmr.ktz").toStdString(),
                               QFile::encodeName(dir.path()).toStdString() + "/K\xF6ln.ktz");
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    ASSERT_TRUE(QFile::link(dir.filePath("gone.ktz"), dir.filePath("sub/dangling.ktz")));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("sub/loop")));
    TLogListWindow& list = OpenSamples(dir.path());
    EXPECT_EQ(Column(list, TLogListModel::ColName).size(), 3);
    EXPECT_EQ(list.Filter().index(2, TLogListModel::ColVerdict).data().toString().left(21),
              "Failed to load: Datei");
    const int latin1Row =
        static_cast<int>(Column(list, TLogListModel::ColName)
                             .indexOf(QRegularExpression(QStringLiteral("^K.ln\\.ktz$"))));
    ASSERT_GE(latin1Row, 0);
    list.Table().setCurrentIndex(list.Filter().index(latin1Row, TLogListModel::ColName));
    EXPECT_TRUE(LabelText("lbLogfileName").endsWith(QStringLiteral("/K\u00F6ln.ktz")));
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

}  // namespace
