// The user's ways in: keys, buttons, dropped files, the open dialog's filter.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "app/LogLoader.h"
#include "tests/window/WindowTestSupport.h"
#include "window/WindowTextView.h"

namespace {

std::unique_ptr<QMimeData> FileDrop(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    data->setUrls(urls);
    return data;
}

class WindowInput : public WindowFixture {
  protected:
    void Drop(const QMimeData& data) {
        ASSERT_TRUE(DragIsAccepted(data));
        QDropEvent drop(QPointF(400, 400), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Window.get(), &drop);
    }
    bool DragIsAccepted(const QMimeData& data) {
        QDragEnterEvent enter(QPoint(400, 400), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(Window.get(), &enter);
        return enter.isAccepted();
    }
};

TEST_F(WindowInput, EscapeAndCtrlOPressOpenWhereverTheFocusIs) {
    MakeWindow();
    ShowWindow();
    Window->activateWindow();
    NextChoice = SamplePath("demo-gsmr.ktz");
    for (const char* focused : {"mmFileContent", "btExit", "btOpen"}) {
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_O)}) {
            const int before = DialogRuns;
            QTest::keyClick(&Control<QWidget>(focused), key.key(), key.keyboardModifiers());
            EXPECT_EQ(DialogRuns, before + 1) << focused;
        }
    }
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    // The next dialog starts where the last log came from.
    EXPECT_EQ(DialogFolders.first(), QString());
    EXPECT_EQ(DialogFolders.last(), QFileInfo(NextChoice).absolutePath());
}

TEST_F(WindowInput, CtrlFFindsInTheTextBoxWhereverTheFocusIs) {
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    auto& content = Control<TLazyTextView>("mmFileContent");
    const QRect box = content.geometry();
    Control<QWidget>("btExit").setFocus();
    QTest::keyClick(&Control<QWidget>("btExit"), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(content.FindBarShown());
    QTest::keyClicks(&content.FindField(), "signature:");
    EXPECT_EQ(content.SelectedText(), "SIGNATURE:");
    EXPECT_EQ(content.FindCount().text(), "1 of 1");
    // The bar takes rows of the box, not room of the window; Escape closes it, back in the text.
    EXPECT_EQ(content.geometry(), box);
    QTest::keyClick(&content.FindField(), Qt::Key_Escape);
    EXPECT_FALSE(content.FindBarShown());
    EXPECT_EQ(Window->focusWidget(), &content);
    EXPECT_EQ(content.SelectedText(), "SIGNATURE:");
}

// Without a mouse every control comes in turn, in the order they stand, the charts included
// (their context menus open from the keyboard); the direction buttons count as one stop.
TEST_F(WindowInput, TabReachesEveryControlInLayoutOrder) {
    MakeWindow();
    ShowWindow();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    Control<QWidget>("pbPolarChart").setFocus(Qt::TabFocusReason);
    QStringList order{Window->focusWidget()->objectName()};
    for (int step = 0; step < 6; ++step) {
        QTest::keyClick(Window->focusWidget(), Qt::Key_Tab);
        order << Window->focusWidget()->objectName();
    }
    EXPECT_EQ(order, (QStringList{"pbPolarChart", "rb0", "pbNeighborChart", "mmFileContent",
                                  "btOpen", "btExit", "pbPolarChart"}));
}

TEST_F(WindowInput, ExitButtonAndCtrlQCloseTheWindow) {
    for (const bool byKey : {false, true}) {
        MakeWindow();
        ShowWindow();
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
        if (byKey) {
            QTest::keyClick(Window.get(), Qt::Key_Q, Qt::ControlModifier);
        } else {
            Control<QPushButton>("btExit").click();
        }
        EXPECT_FALSE(Window->isVisible()) << byKey;
        EXPECT_EQ(DialogRuns, 0);
    }
}

TEST_F(WindowInput, F5AndTheFileWatcherShowTheFileAsItIsNow) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("live.ktz"));
    const auto readSample = [](const char* name) {
        QFile sample(SamplePath(QString::fromLatin1(name)));
        return sample.open(QIODevice::ReadOnly) ? sample.readAll() : QByteArray();
    };
    const QByteArray good = readSample("demo-gsmr.ktz");
    const QByteArray bad = readSample("tampered.ktz");
    const auto write = [](const QString& target, const QByteArray& bytes) {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(path, good);
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(path);
    ASSERT_EQ(LabelText("lbCheckResult"), "The signature is OK");

    // F5 reloads at once, before the watcher's pause is over.
    write(path, bad);
    QTest::keyClick(Window.get(), Qt::Key_F5);
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is NOT VALID");

    // Rewritten in several steps: the window ends with the final file, not a half-written one.
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (qsizetype at = 0; at < good.size(); at += 200) {
            file.write(good.mid(at, 200));
            file.flush();
            QTest::qWait(20);
        }
    }
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return LabelText("lbCheckResult") == "The signature is OK"; }, 5000));
    // Replaced by renaming another file over it.
    write(dir.filePath("next.ktz"), bad);
    ASSERT_TRUE(std::filesystem::exists(dir.filePath("next.ktz").toStdString()));
    std::filesystem::rename(dir.filePath("next.ktz").toStdString(), path.toStdString());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return LabelText("lbCheckResult") == "The signature is NOT VALID"; }, 5000));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(DialogRuns, 1);
}

TEST_F(WindowInput, DropLoadsOnlyTheFirstFile) {
    MakeWindow();
    ShowWindow();
    const QStringList files = {SamplePath("tampered.ktz"), SamplePath("demo-gsmr.ktz"),
                               SamplePath("unsigned.ktz")};
    const auto data = FileDrop(files);
    EXPECT_TRUE(DragIsAccepted(*data));
    Drop(*data);
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_EQ(Control<QLabel>("lbLogfileName").toolTip(), files.first());
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is NOT VALID");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowInput, FileNameInAnotherEncodingOpensByDropAndCommandLine) {
    QTemporaryDir dir;
    // Latin-1 "Köln.ktz": not valid UTF-8, so no QString can carry the name.
    const std::filesystem::path path =
        std::filesystem::path(QFile::encodeName(dir.path()).toStdString()) / "K\xF6ln.ktz";
    std::filesystem::copy_file(QFile::encodeName(SamplePath("demo-gsmr.ktz")).toStdString(), path);
    const QString shown = QString::fromUtf8("/K\u00F6ln.ktz");
    const QByteArray url =
        "file://" + QByteArray::fromStdString(path.native()).toPercentEncoding("/");
    for (const bool dropped : {true, false}) {
        Window = std::make_unique<TfmNorvaViewer>(dropped ? std::filesystem::path() : path);
        Window->ShowError = [this](const QString& message, const QString&) {
            Errors.append(message);
        };
        ShowWindow();
        if (dropped) {
            Drop(*[&url] {
                auto data = std::make_unique<QMimeData>();
                data->setUrls({QUrl::fromEncoded(url)});
                return data;
            }());
        }
        EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
        EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK") << dropped;
        EXPECT_TRUE(LabelText("lbLogfileName").endsWith(shown))
            << LabelText("lbLogfileName").toStdString();
    }
}

TEST_F(WindowInput, DropWithoutFilesIsRefused) {
    MakeWindow();
    ShowWindow();
    QMimeData text;
    text.setText(QStringLiteral("demo-gsmr.ktz"));
    EXPECT_FALSE(DragIsAccepted(text));
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/demo-gsmr.ktz"))});
    EXPECT_FALSE(DragIsAccepted(web));
}

TEST_F(WindowInput, FailedDropClearsTextRestoresCursorThenReports) {
    MakeWindow();
    ShowWindow();
    OpenThroughDialog(SamplePath("demo-gsmr.ktz"));
    QList<const QCursor*> cursorsWhileReporting;
    Window->ShowError = [&](const QString& message, const QString& /*reason*/) {
        cursorsWhileReporting.append(QApplication::overrideCursor());
        Errors.append(message);
    };
    const QString missing = SamplePath("gone.ktz");
    Drop(*FileDrop({missing}));

    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors.first(),
              QString::fromUtf8("Datei %1 kann nicht geöffnet werden").arg(missing));
    EXPECT_EQ(cursorsWhileReporting, QList<const QCursor*>{nullptr});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Control<TLazyTextView>("mmFileContent").toPlainText().isEmpty());
    EXPECT_FALSE(Window->Loader().State().DataLoaded);
}

TEST_F(WindowInput, DroppedPathLongerThan255CharactersOpens) {
    QTemporaryDir root;
    QString folder = root.path();
    while (folder.size() < 300) {
        folder += QStringLiteral("/measurements-of-the-northern-line-section-") +
                  QString::number(folder.size());
    }
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/demo-gsmr.ktz");
    ASSERT_TRUE(QFile::copy(SamplePath("demo-gsmr.ktz"), path));
    ASSERT_GT(path.size(), 255);

    MakeWindow();
    ShowWindow();
    Drop(*FileDrop({path}));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
    // The label loses the middle of the path, never the file's own name; the tooltip has it all.
    const QLabel& name = Control<QLabel>("lbLogfileName");
    EXPECT_EQ(name.toolTip(), path);
    // Where the middle is cut depends on the font and on the temporary folder's random name.
    const QStringList ends = name.text().split(QChar(0x2026));
    ASSERT_EQ(ends.size(), 2) << name.text().toStdString();
    EXPECT_TRUE(path.startsWith(ends[0])) << name.text().toStdString();
    EXPECT_TRUE(path.endsWith(ends[1])) << name.text().toStdString();
    EXPECT_TRUE(ends[1].endsWith(QStringLiteral("/demo-gsmr.ktz"))) << name.text().toStdString();
    EXPECT_LE(name.width(), 310);
}

TEST_F(WindowInput, DialogFilterShowsItsTextAndMatchesAnyLetterCase) {
    QTemporaryDir dir;
    for (const char* name : {"a.ktz", "B.KTZ", "c.Ktz", "d.txt", "e.ktz.bak", "fktz"}) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(LogFileDialogFilter());
    dialog.setDirectory(dir.path());
    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 1);
    EXPECT_EQ(types->itemText(0), "NORVA-G Measurements (*.ktz)");

    // Dialogs of other desktops match patterns case-sensitively: the pattern itself
    // must cover every letter case.
    const QRegularExpression lastGroup(QStringLiteral("\\(([^()]*)\\)$"));
    const QString pattern = lastGroup.match(LogFileDialogFilter()).captured(1);
    const QStringList matched =
        QDir(dir.path()).entryList({pattern}, QDir::Files | QDir::CaseSensitive, QDir::Name);
    EXPECT_EQ(matched, (QStringList{"B.KTZ", "a.ktz", "c.Ktz"}));
}

}  // namespace
