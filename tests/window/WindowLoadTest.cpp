// What the window shows after a load, through every way in, and after a failed one.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/LogLoader.h"
#include "drawing/ChartImage.h"
#include "tests/window/WindowTestSupport.h"

namespace {

QColor VerdictColor(const QJsonValue& verdict) {
    if (verdict.isNull()) {
        return Qt::white;  // no verdict computed: the normal window colour
    }
    const QString text = verdict.toString();
    if (text == "The signature is OK") {
        return {208, 255, 208};
    }
    if (text == "The signature is NOT VALID") {
        return {255, 208, 208};
    }
    if (text == "The file could not be interpreted") {
        return {255, 255, 208};
    }
    throw std::runtime_error("unknown verdict " + text.toStdString());
}

QStringList FileLines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList lines =
        QString::fromLatin1(file.readAll()).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QStringList NeighborLines(const QJsonValue& neighbors) {
    QStringList lines;
    for (const QJsonValue& line : neighbors.toArray()) {
        lines.append(line.toString());
    }
    return lines;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
    return path;
}

class SampleDisplay : public WindowFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(SampleDisplay, ShowsTheKnownAnswer) {
    const QString stem = QString::fromLatin1(GetParam());
    const QJsonObject expected = ExpectedAnswer(stem);
    const QString path = SamplePath(stem + ".ktz");
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(path);

    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), path);
    EXPECT_EQ(Control<TLazyTextView>("mmFileContent").toPlainText().split('\n'), FileLines(path));
    const QJsonValue verdict = expected["verdict"];
    if (verdict.isNull()) {
        EXPECT_TRUE(LabelText("lbCheckResult").startsWith("Not checked: ")) << stem.toStdString();
    } else {
        EXPECT_EQ(LabelText("lbCheckResult"), verdict.toString());
    }
    EXPECT_EQ(ContentColor(), VerdictColor(verdict));

    const QJsonArray directions = expected["directions"].toArray();
    for (int index = 0; index < 8; ++index) {
        const QJsonObject direction = directions[index].toObject();
        EXPECT_EQ(Selector(index).isEnabled(), direction["hasData"].toBool()) << index;
        const QJsonArray corner = direction["selector"].toArray();
        if (!corner.isEmpty()) {
            EXPECT_EQ(Selector(index).pos(), QPoint(corner[0].toInt(), corner[1].toInt())) << index;
        }
    }
    const QJsonValue selected = expected["selected"];
    EXPECT_EQ(CheckedSelector(), selected.isNull() ? -1 : selected.toInt());

    const bool dataLoaded = expected["dataLoaded"].toBool();
    EXPECT_EQ(Window->Loader().State().DataLoaded, dataLoaded);
    if (dataLoaded) {
        const QJsonObject shown = directions[selected.toInt()].toObject();
        EXPECT_EQ(LabelText("lbCurrentCell"), shown["currentCell"].toString());
        EXPECT_EQ(LabelLines("lbNeighbors"), NeighborLines(shown["neighbors"]));
        // The paint boxes show exactly what the charts drew.
        EXPECT_EQ(ShownImage(Control<QWidget>("pbPolarChart")),
                  ChartImage(Window->Loader().PolarChart()).convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(
            ShownImage(Control<QWidget>("pbNeighborChart")),
            ChartImage(Window->Loader().NeighborChart()).convertToFormat(QImage::Format_RGB32));
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleDisplay,
                         ::testing::Values("demo-gsmr", "tampered", "unsigned", "rotated-22deg",
                                           "old-firmware"));

using WindowLoad = WindowFixture;

TEST_F(WindowLoad, FirstCommandLineArgumentIsLoadedWhenShown) {
    const QString path = SamplePath("demo-gsmr.ktz");
    MakeWindow(path);
    EXPECT_EQ(LabelText("lbLogfileName"), "...");
    ShowWindow();
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), path);
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    EXPECT_TRUE(Errors.isEmpty());
}

// A folder opens the log list beside the window; one without logs leaves the window empty.
TEST_F(WindowLoad, MissingOrFolderArgumentOpensAnEmptySilentWindow) {
    for (const QString& argument : {SamplePath("no-such-file.ktz"), SamplePath("expected")}) {
        MakeWindow(argument);
        ShowWindow();
        EXPECT_EQ(LabelText("lbLogfileName"), "...") << argument.toStdString();
        EXPECT_TRUE(Control<TLazyTextView>("mmFileContent").toPlainText().isEmpty());
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        EXPECT_EQ(Window->LogList() != nullptr, argument.endsWith("expected"));
    }
}

TEST_F(WindowLoad, TextBoxDecodesWindows1252) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "codepage.ktz", "K\xF6ln \x80 \x81\x9F\r\nend\r\n");
    MakeWindow();
    OpenThroughDialog(path);
    EXPECT_EQ(Control<TLazyTextView>("mmFileContent").toPlainText(),
              QString::fromUtf8("K\u00F6ln \u20AC \u0081\u0178\nend"));
}

TEST_F(WindowLoad, ErrorsSayWhyTheFileCouldNotBeRead) {
    const struct {
        QString Path;
        const char* Reason;
    } cases[] = {
        {SamplePath("gone.ktz"), "No such file or directory."},
        {SamplePath("demo-gsmr.ktz/inside.ktz"), "Not a directory."},
        {SamplePath("expected"), "It is a folder, not a file."},
        {QStringLiteral("/dev/null"), "It is not a regular file."},
    };
    MakeWindow();
    for (const auto& c : cases) {
        OpenThroughDialog(c.Path);
        ASSERT_FALSE(Reasons.isEmpty()) << c.Path.toStdString();
        EXPECT_EQ(Reasons.last(), c.Reason) << c.Path.toStdString();
        EXPECT_EQ(Errors.last(),
                  QString::fromUtf8("Datei %1 kann nicht geöffnet werden").arg(c.Path));
    }
    EXPECT_EQ(Errors.size(), 4);
}

TEST_F(WindowLoad, FilesThatAreNotCheckedSayWhy) {
    QTemporaryDir dir;
    const struct {
        QByteArray Bytes;
        const char* Shown;
    } cases[] = {
        {"", "Not checked: the file is empty"},
        {"just some text\r\n", "Not checked: no software version, not a NORVA-G log"},
        {"SWVERSION: NG-FW 789\r\n", "Not checked: software version 789 is below 790"},
    };
    MakeWindow();
    for (const auto& c : cases) {
        OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
        OpenThroughDialog(WriteFile(dir, "not-checked.ktz", c.Bytes));
        EXPECT_EQ(LabelText("lbCheckResult"), c.Shown);
        EXPECT_EQ(ContentColor(), QColor(Qt::white));
    }
    EXPECT_TRUE(Errors.isEmpty());
}

// Below the text box and in the verdict's tooltip, for a NOT VALID log that a harmless change
// explains; gone with the next file, and never for another verdict.
TEST_F(WindowLoad, LikelyCauseStandsBesideItsVerdictOnly) {
    QTemporaryDir dir;
    QFile demo(SamplePath("demo-gsmr.ktz"));
    ASSERT_TRUE(demo.open(QIODevice::ReadOnly));
    const QString changed = WriteFile(dir, "demo-bom.ktz", "\xEF\xBB\xBF" + demo.readAll());
    MakeWindow();
    for (const char* other : {"demo-gsmr.ktz", "tampered.ktz", "unsigned.ktz"}) {
        OpenThroughDialog(changed);
        EXPECT_EQ(LabelText("lbCheckResult"), "The signature is NOT VALID");
        const QString cause = Control<QLabel>("lbLikelyCause").text();
        EXPECT_TRUE(cause.contains("byte-order mark") && cause.contains("not authentic"))
            << cause.toStdString();
        EXPECT_EQ(Control<QLabel>("lbCheckResult").toolTip(), cause);
        OpenThroughDialog(SamplePath(other));
        EXPECT_EQ(Control<QLabel>("lbLikelyCause").text(), "") << other;
        EXPECT_EQ(Control<QLabel>("lbCheckResult").toolTip(), "") << other;
    }
    EXPECT_TRUE(Errors.isEmpty());
}

TEST_F(WindowLoad, CancelledDialogChangesNothing) {
    MakeWindow();
    OpenThroughDialog(SamplePath("tampered.ktz"));
    const QString text = Control<TLazyTextView>("mmFileContent").toPlainText();
    const QImage bars = ShownImage(Control<QWidget>("pbNeighborChart"));
    OpenThroughDialog(QString());
    EXPECT_EQ(DialogRuns, 2);
    EXPECT_EQ(Control<TLazyTextView>("mmFileContent").toPlainText(), text);
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is NOT VALID");
    EXPECT_EQ(ShownImage(Control<QWidget>("pbNeighborChart")), bars);
    EXPECT_TRUE(Window->Loader().State().DataLoaded);
}

TEST_F(WindowLoad, FailedOpenIsReportedAndLeavesNothingHalfDrawn) {
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    const QString text = Control<TLazyTextView>("mmFileContent").toPlainText();
    const QString missing = SamplePath("gone.ktz");
    OpenThroughDialog(missing);

    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors.first(),
              QString::fromUtf8("Datei %1 kann nicht geöffnet werden").arg(missing));
    EXPECT_EQ(Reasons.first(), "No such file or directory.");
    // The Open button does not empty the text box; the reset before the read did the rest.
    EXPECT_EQ(Control<TLazyTextView>("mmFileContent").toPlainText(), text);
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), SamplePath("demo-gsmr.ktz"));
    EXPECT_EQ(LabelText("lbCheckResult"), "...");
    EXPECT_FALSE(Window->Loader().State().DataLoaded);
    for (int index = 0; index < 8; ++index) {
        EXPECT_FALSE(Selector(index).isEnabled()) << index;
    }
    const QImage polar = ShownImage(Control<QWidget>("pbPolarChart"));
    EXPECT_TRUE(AllPixelsAre(polar.copy(0, 0, 163, 163), Qt::white));

    // The program goes on.
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    EXPECT_EQ(Errors.size(), 1);
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    EXPECT_TRUE(Window->Loader().State().DataLoaded);
}

// A pipe whose writing end the test holds keeps the load in its read until the test lets go:
// a load that the user gives up meanwhile.
TEST_F(WindowLoad, EscapeOrClosingTheWindowGivesUpALoad) {
    QTemporaryDir dir;
    const auto heldPipe = [&dir](const char* name) {
        const QByteArray pipe = QFile::encodeName(dir.filePath(name));
        EXPECT_EQ(mkfifo(pipe.constData(), 0600), 0);
        return std::pair(QFile::decodeName(pipe), open(pipe.constData(), O_RDWR));
    };
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    const auto [first, firstWriter] = heldPipe("first.ktz");
    QTimer::singleShot(50, [&] { QTest::keyClick(Window.get(), Qt::Key_Escape); });
    OpenThroughDialog(first);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), SamplePath("demo-gsmr.ktz"));
    EXPECT_EQ(LabelText("lbCheckResult"), "...");
    close(firstWriter);

    const auto [second, secondWriter] = heldPipe("second.ktz");
    QTimer::singleShot(50, [&] { Window->close(); });
    OpenThroughDialog(second);
    QTRY_VERIFY(!Window->isVisible());  // once the load has unwound
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    // The second load still waits in its read: the window goes all the same.
    Window.reset();
    close(secondWriter);
}

TEST_F(WindowLoad, OverflowingAnglesAreReportedInTheirOwnWords) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, "overflow.ktz",
                                   "LICENSE: x\r\nSWVERSION: NG-FW 795\r\nOFFSET: 2147483600\r\n"
                                   "ANGLE: 45\r\n");
    MakeWindow();
    OpenThroughDialog(path);
    EXPECT_EQ(Errors, QStringList{QString::fromUtf8("Integerüberlauf")});
    EXPECT_TRUE(Reasons.first().contains("OFFSET and ANGLE")) << Reasons.first().toStdString();
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), path);
    EXPECT_FALSE(Window->Loader().State().DataLoaded);
}

TEST_F(WindowLoad, SelectorClickShowsThatDirectionAtOnce) {
    const QJsonArray directions = ExpectedAnswer("demo-gsmr")["directions"].toArray();
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    const QImage firstBars = ShownImage(Control<QWidget>("pbNeighborChart"));

    QTest::mouseClick(&Selector(3), Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(CheckedSelector(), 3);
    EXPECT_EQ(Window->Loader().SelectedDirection(), 3);
    const QJsonObject third = directions[3].toObject();
    EXPECT_EQ(LabelText("lbCurrentCell"), third["currentCell"].toString());
    EXPECT_EQ(LabelLines("lbNeighbors"), NeighborLines(third["neighbors"]));
    const QImage thirdBars = ShownImage(Control<QWidget>("pbNeighborChart"));
    EXPECT_NE(thirdBars, firstBars);
    EXPECT_EQ(thirdBars,
              ChartImage(Window->Loader().NeighborChart()).convertToFormat(QImage::Format_RGB32));

    // Loading again selects direction 0 afresh, also after the user moved away.
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    EXPECT_EQ(CheckedSelector(), 0);
    EXPECT_EQ(LabelText("lbCurrentCell"), directions[0].toObject()["currentCell"].toString());
    EXPECT_EQ(ShownImage(Control<QWidget>("pbNeighborChart")),
              ChartImage(Window->Loader().NeighborChart()).convertToFormat(QImage::Format_RGB32));
}

}  // namespace
