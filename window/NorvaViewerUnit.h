#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/LogView.h"
#include "window/ViewerCommandLine.h"
#include "window/WindowFiles.h"

class QFileSystemWatcher;
class QMenu;
class QRadioButton;
class TLogLoader;
class TLoadJob;
class TLogListWindow;
class TWindowPaintBox;
namespace Ui {
class TfmNorvaViewer;
}

// The main window: shows what the loader hands it and turns the user's actions
// (Open, drop, selector clicks, Exit) into loader calls. Every handler shows an
// error that leaves it in a message box and the program goes on.
class TfmNorvaViewer : public QWidget, public ILogView {
    Q_OBJECT

  public:
    // startFile: the first command-line argument as the file system's bytes, loaded when
    // the window is first shown if it names an existing file.
    explicit TfmNorvaViewer(std::filesystem::path startFile = {}, QWidget* parent = nullptr);
    ~TfmNorvaViewer() override;

    // The modal parts, replaceable so that tests never block on them.
    // ChooseLogFile(start folder) returns the chosen path, or an empty text when cancelled.
    std::function<QString(const QString& startFolder)> ChooseLogFile;
    // ChooseLogFolder(start folder) returns the chosen folder, or an empty text when cancelled.
    std::function<QString(const QString& startFolder)> ChooseLogFolder;
    // The message is the error's own text; the reason says what lay behind it, or is empty.
    std::function<void(const QString& message, const QString& reason)> ShowError;
    // ChooseSaveFile(caption, suggested path, filter) returns where to write, or an empty
    // text when cancelled. Nothing is ever written anywhere else.
    std::function<QString(const QString& caption, const QString& suggested, const QString& filter)>
        ChooseSaveFile;

    // Handlers.
    void btOpenClick();
    void btExitClick();
    void WMDropFiles(const QList<std::filesystem::path>& paths);
    // F5, and the file watcher once the loaded file has changed on disk.
    void ReloadLogFile();
    // "Open folder…" (Ctrl+Shift+O, and in the text box's context menu).
    void OpenFolderClick();

    // The log list of a folder, beside this window; a second folder replaces the first.
    void OpenLogFolder(const std::filesystem::path& folder);
    // The open log list, or null.
    TLogListWindow* LogList() const { return LogList_.get(); }
    // Whether the file or folder given at start has been opened (or found missing), which
    // happens just after the window first shows.
    bool StartHandled() const { return StartHandled_; }
    // Shows the next (+1) or previous (-1) log of the list; false when there is none.
    bool StepLog(int delta);

    TLogLoader& Loader() { return *Loader_; }

    // The context menus: "Save chart as PNG…" on either chart; "Copy" and "Export cells as
    // CSV…" on the text box. Returned unopened, so that tests can trigger their actions.
    std::unique_ptr<QMenu> ChartMenu(TWindowPaintBox& chart);
    std::unique_ptr<QMenu> FileContentMenu();
    void SaveChartImage(TWindowPaintBox& chart);
    void ExportCellsCsv();

    // ILogView
    void SetFileContent(const TLogText& text) override;
    void SetFileContentColor(std::optional<TRgb> color) override;
    void SetFileName(const std::filesystem::path& path) override;
    void SetCheckResult(const std::string& text) override;
    void MoveSelector(int index, int left, int top) override;
    void EnableSelector(int index, bool enabled) override;
    void CheckSelector(int index) override;
    TPaintBox& PolarPaintBox() override;
    TPaintBox& NeighborPaintBox() override;
    TTextLabel& CurrentCellLabel() override;
    TTextLabel& NeighborsLabel() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void PlaceLogList();
    void ShowVerdictText(const QString& text);
    void FormShow();
    void rbXClick(int index);
    void LoadLogFile(const std::filesystem::path& path);
    void ShowLoadingFileName(const std::filesystem::path& path);
    bool PrepareAndShowLoad(const std::filesystem::path& path);
    void ReleaseFinishedLoads();
    void ShowWhyNotChecked();
    void ShowLikelyCause(const QString& text);
    void SetFileNameText(const QString& name);
    void WatchLoadedFile();
    void LoadedFileChanged();
    void ApplyPalette();
    void AddShortcuts();
    void ConnectControls();
    void ApplyWindowLook();
    void MakeAccessible();
    void UpdateAccessibleTexts();
    void ShowFocusedContextMenu();
    QString RunOpenDialog(const QString& startFolder);
    QString RunFolderDialog(const QString& startFolder);
    QString LastLogFolder() const;
    QString RunSaveDialog(const QString& caption, const QString& suggested, const QString& filter);
    QString SuggestedPath(const QString& suffix) const;
    void ShowMenu(std::unique_ptr<QMenu> menu, QWidget& owner, QPoint at);
    void ShowErrorBox(const QString& message, const QString& reason);
    void changeEvent(QEvent* event) override;
    template <typename Handler>
    void RunHandler(Handler&& handler);
    template <typename Handler>
    void RunPaintHandler(Handler&& handler);

    std::unique_ptr<Ui::TfmNorvaViewer> Ui_;
    std::array<QRadioButton*, 8> Selectors_{};
    std::unique_ptr<TLogLoader> Loader_;
    std::unique_ptr<TLogListWindow> LogList_;
    std::filesystem::path StartFile_;
    // The file shown, as bytes and as the user reads it; empty before the first load.
    std::filesystem::path LoadedFile_;
    QString LoadedPath_;
    // The last reason found for an error of the running handler.
    QString ErrorReason_;
    std::unique_ptr<QFileSystemWatcher> Watcher_;
    std::vector<std::unique_ptr<TLoadJob>> AbandonedLoads_;  // given up, their threads ending
    QTimer ReloadTimer_;
    TFileStamp LoadedStamp_;
    QPalette NormalContentPalette_;
    std::optional<TRgb> ContentTint_;
    bool Shown_ = false;
    bool StartHandled_ = false;
    bool CheckingFromCode_ = false;
};

// The dialog filter: shows "NORVA-G Measurements (*.ktz)" and matches the
// extension in any letter case, also in dialogs whose patterns are case-sensitive.
QString LogFileDialogFilter();
