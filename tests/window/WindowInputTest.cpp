// The user's ways in: keys, buttons, dropped files, the open dialog's filter.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "app/LogLoader.h"
#include "tests/window/WindowTestSupport.h"

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

TEST_F(WindowInput, EscapePressesOpenWhereverTheFocusIs) {
    MakeWindow();
    ShowWindow();
    NextChoice = SamplePath("demo-gsmr.ktz");
    for (const char* focused : {"mmFileContent", "btExit", "btOpen"}) {
        const int before = DialogRuns;
        QTest::keyClick(&Control<QWidget>(focused), Qt::Key_Escape);
        EXPECT_EQ(DialogRuns, before + 1) << focused;
    }
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
}

TEST_F(WindowInput, ExitButtonClosesTheWindow) {
    MakeWindow();
    ShowWindow();
    Control<QPushButton>("btExit").click();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(DialogRuns, 0);
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
    EXPECT_EQ(LabelText("lbLogfileName"), files.first());
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is NOT VALID");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
    Window->ShowError = [&](const QString& message) {
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
    EXPECT_EQ(LabelText("lbLogfileName"), path);
    EXPECT_EQ(LabelText("lbCheckResult"), "The signature is OK");
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
