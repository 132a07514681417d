#include "window/NorvaViewerUnit.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QMimeData>
#include <QSaveFile>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "app/CellCsv.h"
#include "app/Errors.h"
#include "app/LogLoader.h"
#include "app/Outcome.h"
#include "app/PathText.h"
#include "batch/LogCheck.h"
#include "charts/ChartDescription.h"
#include "charts/MonitorGraphics.h"
#include "drawing/ChartImage.h"
#include "drawing/ImageFile.h"
#include "ui_NorvaViewerUnit.h"
#include "window/LoadJob.h"
#include "window/LoadWait.h"
#include "window/LogListWindow.h"
#include "window/WindowAccessibility.h"
#include "window/WindowText.h"
#include "window/WindowTextView.h"
#include "window/WindowWidgets.h"

// Resources of a static library must be registered explicitly, outside any namespace.
static void InitViewerResources() {
    Q_INIT_RESOURCE(NorvaViewer);
}

namespace {

const QString ApplicationTitle = QStringLiteral("NORVA-G Viewer");

// The layout was drawn for 96 dots per inch; pixel font sizes keep the captions
// inside their controls whatever the screen reports.
constexpr double LayoutDotsPerInch = 96.0;

void PinFontToLayoutDpi(QWidget& widget) {
    QFont font = widget.font();
    if (font.pointSizeF() > 0) {
        font.setPixelSize(qRound(font.pointSizeF() * LayoutDotsPerInch / 72.0));
        widget.setFont(font);
    }
}

void PinFontsToLayoutDpi(QWidget& root) {
    PinFontToLayoutDpi(root);
    // The others inherit the window's font.
    for (QWidget* child : root.findChildren<QWidget*>()) {
        if (child->testAttribute(Qt::WA_SetFont)) {
            PinFontToLayoutDpi(*child);
        }
    }
}

// Shows the wait cursor for the lifetime of the object; restored also on error. Only the
// drop handler lets pending events run around a load (RunPendingEvents): anywhere else a
// queued key press or click would start a second dialog or load inside the first.
class TWaitCursor {
  public:
    enum TEvents { KeepPendingEvents, RunPendingEvents };
    explicit TWaitCursor(TEvents events = KeepPendingEvents) : Events_(events) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        if (Events_ == RunPendingEvents) {
            QApplication::processEvents();
        }
    }
    ~TWaitCursor() {
        QApplication::restoreOverrideCursor();
        if (Events_ == RunPendingEvents) {
            QApplication::processEvents();
        }
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

  private:
    TEvents Events_;
};

// Below the text box while a log loads.
QString LoadingText(double done) {
    return QStringLiteral("Reading and checking the log\u2026 %1 % (Escape gives up)")
        .arg(static_cast<int>(done * 100));
}

QList<std::filesystem::path> DroppedFiles(const QMimeData& data) {
    QList<std::filesystem::path> files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            files.append(LocalFileBytes(url));
        }
    }
    return files;
}

QString PathText(const std::filesystem::path& path) {
    return DisplayPathText(path);
}

std::filesystem::path PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A save dialog that ignores its default suffix still gets the file type the user chose.
QString WithSuffix(const QString& path, const QString& suffix) {
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

constexpr int ReloadQuietMilliseconds = 300;

const QString UnknownErrorText = QStringLiteral("Unknown error");
const QString SaveChartText = QStringLiteral("Save chart as PNG\u2026");
const QString ExportCsvText = QStringLiteral("Export cells as CSV\u2026");
const QString OpenFolderText = QStringLiteral("Open &folder\u2026");

// Writes through a temporary file that replaces the target only when complete, so that a
// failed write never leaves half a file where the user pointed.
template <typename Write>
void WriteChosenFile(const QString& path, Write&& write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !write(file) || !file.commit()) {
        throw std::runtime_error(QStringLiteral("The file %1 could not be written: %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    }
}

}  // namespace

TfmNorvaViewer::TfmNorvaViewer(std::filesystem::path startFile, QWidget* parent)
    : QWidget(parent),
      Ui_(std::make_unique<Ui::TfmNorvaViewer>()),
      StartFile_(std::move(startFile)) {
    InitViewerResources();
    InstallWindowAccessibility();
    Ui_->setupUi(this);
    // The layout file places the charts; their sizes are the charts' own.
    Ui_->pbPolarChart->resize(PolarChartSize);
    Ui_->pbNeighborChart->resize(BarChartSize);
    if (parent == nullptr) {
        // A window of fixed size has nothing to maximise.
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                       Qt::WindowCloseButtonHint);
    }
    // Decoded when the window system first asks for it; not at all where it shows none.
    setWindowIcon(QIcon(new TLazyFileIconEngine(QStringLiteral(":/icons/norvaviewer.png"))));
    Selectors_ = {Ui_->rb0, Ui_->rb1, Ui_->rb2, Ui_->rb3, Ui_->rb4, Ui_->rb5, Ui_->rb6, Ui_->rb7};
    ApplyWindowLook();
    ChooseLogFile = [this](const QString& startFolder) { return RunOpenDialog(startFolder); };
    ChooseSaveFile = [this](const QString& caption, const QString& suggested,
                            const QString& filter) {
        return RunSaveDialog(caption, suggested, filter);
    };
    ChooseLogFolder = [this](const QString& startFolder) { return RunFolderDialog(startFolder); };
    ShowError = [this](const QString& message, const QString& reason) {
        ShowErrorBox(message, reason);
    };
    Loader_ = std::make_unique<TLogLoader>(*this);
    ApplyPalette();
    ConnectControls();
    AddShortcuts();
    ReloadTimer_.setSingleShot(true);
    ReloadTimer_.setInterval(ReloadQuietMilliseconds);
    connect(&ReloadTimer_, &QTimer::timeout, this, [this] { LoadedFileChanged(); });
    UpdateAccessibleTexts();
}

TfmNorvaViewer::~TfmNorvaViewer() {
    // A given-up load ends at its next progress report, which a read from a pipe that nobody
    // writes to or closes never reaches: such a job is left to the end of the program rather
    // than keeping the program from ending.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!AbandonedLoads_.empty() && std::chrono::steady_clock::now() < deadline) {
        ReleaseFinishedLoads();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (std::unique_ptr<TLoadJob>& job : AbandonedLoads_) {
        TLoadJob::LeaveRunning(std::move(job));
    }
}

void TfmNorvaViewer::OpenFolderClick() {
    const QString folder = ChooseLogFolder(LastLogFolder());
    if (!folder.isEmpty()) {
        OpenLogFolder(PathBytes(folder));
    }
}

void TfmNorvaViewer::OpenLogFolder(const std::filesystem::path& folder) {
    if (!LogList_) {
        LogList_ = std::make_unique<TLogListWindow>();
        LogList_->setWindowIcon(windowIcon());
        connect(LogList_.get(), &TLogListWindow::LogChosen, this,
                [this](const std::filesystem::path& path) {
                    RunHandler([this, &path] { LoadLogFile(path); });
                });
        // The same keys step in the list window too, and quit there as here.
        const std::pair<QKeyCombination, int> steps[] = {{Qt::CTRL | Qt::Key_PageDown, 1},
                                                         {Qt::CTRL | Qt::Key_PageUp, -1}};
        for (const auto& [key, delta] : steps) {
            auto* step = new QShortcut(QKeySequence(key), LogList_.get());
            connect(step, &QShortcut::activated, this, [this, delta] { StepLog(delta); });
        }
        auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), LogList_.get());
        connect(quit, &QShortcut::activated, this, [this] { Ui_->btExit->click(); });
        PlaceLogList();
    }
    LogList_->OpenFolder(folder);
    LogList_->show();
    LogList_->raise();
}

// Beside the main window where the screen has room, else over it; always within the
// screen's available area.
void TfmNorvaViewer::PlaceLogList() {
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    const QRect available = shown->availableGeometry();
    QSize size = LogList_->size().boundedTo(available.size());
    LogList_->resize(size);
    const QRect main = frameGeometry();
    QPoint at(main.right() + 8, main.top());
    if (at.x() + size.width() > available.right()) {
        at.setX(main.left() - 8 - size.width());
    }
    at.setX(std::clamp(at.x(), available.left(), available.right() - size.width() + 1));
    at.setY(std::clamp(at.y(), available.top(), available.bottom() - size.height() + 1));
    LogList_->move(at);
}

void TfmNorvaViewer::closeEvent(QCloseEvent* event) {
    // Quitting ends the program: the list goes with the main window.
    if (LogList_) {
        LogList_->close();
    }
    QWidget::closeEvent(event);
}

bool TfmNorvaViewer::StepLog(int delta) {
    return LogList_ && LogList_->isVisible() && LogList_->Step(delta);
}

QString TfmNorvaViewer::RunFolderDialog(const QString& startFolder) {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Open folder"), startFolder);
}

void TfmNorvaViewer::ApplyWindowLook() {
    setFixedSize(size());
    if (const QScreen* shown = screen()) {
        move(WindowPosition(size(), shown->geometry(), shown->availableGeometry()));
    }
    PinFontsToLayoutDpi(*this);
    // A widget's own style is not passed on to its children.
    auto* groupBoxStyle = new TGroupBoxStyle();
    groupBoxStyle->setParent(this);
    for (QGroupBox* box : {Ui_->GroupBox1, Ui_->GroupBox2, Ui_->GroupBox3}) {
        box->setStyle(groupBoxStyle);
    }
    auto* selectorStyle = new TSelectorStyle();
    selectorStyle->setParent(this);
    for (QRadioButton* selector : Selectors_) {
        selector->setStyle(selectorStyle);
    }
    for (QLabel* label : {Ui_->Label1, Ui_->Label2, Ui_->Label3}) {
        label->adjustSize();
    }
    MakeAccessible();
    // Drops anywhere on the window, the text box included, are the window's.
    Ui_->mmFileContent->setAcceptDrops(false);
    Ui_->mmFileContent->viewport()->setAcceptDrops(false);
}

// Names for what the layout shows without words, and relations for what it shows side by side.
// The charts take the focus from the keyboard only (Tab), where their context menu opens with
// the menu key or Shift+F10; a click leaves the focus where it was.
void TfmNorvaViewer::MakeAccessible() {
    for (QGroupBox* box : {Ui_->GroupBox1, Ui_->GroupBox2, Ui_->GroupBox3}) {
        box->setAccessibleName(box->title().trimmed());
    }
    const std::pair<QLabel*, QLabel*> captions[] = {{Ui_->Label2, Ui_->lbLogfileName},
                                                    {Ui_->Label1, Ui_->lbCheckResult}};
    for (const auto& [caption, value] : captions) {
        caption->setAccessibleName(caption->text().remove(QLatin1Char(':')).trimmed());
        caption->setBuddy(value);
    }
    Ui_->Label3->setAccessibleName(QStringLiteral("Cell columns"));
    Ui_->Label3->setAccessibleDescription(Ui_->Label3->text().simplified());
    for (TWindowPaintBox* chart : {Ui_->pbPolarChart, Ui_->pbNeighborChart}) {
        chart->setFocusPolicy(Qt::TabFocus);
    }
}

// What the charts show and which selector stands for which bearing, in words; again after
// every load and every change of direction.
void TfmNorvaViewer::UpdateAccessibleTexts() {
    const TLogState& state = Loader_->State();
    const TDirectionSlots& directions = Loader_->DirectionSlots();
    for (int i = 0; i < DirectionCount; ++i) {
        QRadioButton& selector = *Selectors_.at(static_cast<size_t>(i));
        const QString name = DirectionText(i, Loader_->SelectorBearing(i));
        SetAccessibleTexts(selector,
                           selector.isEnabled() ? name : name + QStringLiteral(", no data"), {});
    }
    const int direction = std::max(0, Loader_->SelectedDirection());
    const QString noChart = LoadedPath_.isEmpty()
                                ? QStringLiteral("No log loaded")
                                : QStringLiteral("This log shows no measurements");
    const TReceptionPolarChart& polar = Loader_->PolarChart();
    const TNeighborBarChart& bars = Loader_->NeighborChart();
    SetAccessibleTexts(*Ui_->pbPolarChart, QStringLiteral("Reception by direction"),
                       state.DataLoaded
                           ? PolarChartDescription(directions, polar.StartAngle, polar.StepAngle)
                           : noChart);
    SetAccessibleTexts(
        *Ui_->pbNeighborChart, QStringLiteral("Cells of direction %1").arg(direction),
        state.DataLoaded
            ? BarChartDescription(*directions.at(static_cast<size_t>(direction)).Measurement,
                                  bars.AxisMemory(), bars.ShowEdgeMarkers)
            : noChart);
}

// The window is drawn on the desktop's button face, with the text colours that belong to it;
// the text box keeps the desktop's base colours until a verdict tints it.
void TfmNorvaViewer::ApplyPalette() {
    const QPalette desktop = QApplication::palette(this);
    QPalette face = desktop;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        face.setColor(group, QPalette::Window, desktop.color(group, QPalette::Button));
        face.setColor(group, QPalette::WindowText, desktop.color(group, QPalette::ButtonText));
    }
    setPalette(face);
    NormalContentPalette_ = desktop;
    SetFileContentColor(ContentTint_);
    Loader_->NeighborChart().GapColor = face.color(QPalette::Button).rgba();
    update();
}

void TfmNorvaViewer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange && Loader_) {
        ApplyPalette();
    }
}

void TfmNorvaViewer::AddShortcuts() {
    const auto add = [this](const QKeySequence& keys, auto&& action) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    add(QKeySequence::Open, [this] { Ui_->btOpen->click(); });
    // Not every platform theme binds the standard Quit key; on Linux it is Ctrl+Q throughout.
    add(QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { Ui_->btExit->click(); });
    add(QKeySequence(Qt::Key_F5), [this] { RunHandler([this] { ReloadLogFile(); }); });
    // The window's layout is fixed: opening a folder and stepping through its logs are keys
    // (and a context menu entry), not buttons.
    add(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
        [this] { RunHandler([this] { OpenFolderClick(); }); });
    add(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [this] { StepLog(1); });
    add(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [this] { StepLog(-1); });
    // The menu key opens a context menu by itself; Shift+F10 is the other key desktops use.
    add(QKeySequence(Qt::SHIFT | Qt::Key_F10), [this] { ShowFocusedContextMenu(); });
    // Find opens the text box's find bar wherever the focus is; F3 and Shift+F3 search on.
    TLazyTextView& content = *Ui_->mmFileContent;
    struct TFindKey {
        QKeySequence::StandardKey Key;
        bool Ask;
        bool Forward;
    };
    for (const TFindKey find :
         {TFindKey{QKeySequence::Find, true, true}, TFindKey{QKeySequence::FindNext, false, true},
          TFindKey{QKeySequence::FindPrevious, false, false}}) {
        add(QKeySequence(find.Key), [&content, find] {
            if (!find.Ask) {
                content.setFocus(Qt::ShortcutFocusReason);
            }
            content.FindFromKeyboard(find.Ask, find.Forward);
        });
    }
}

void TfmNorvaViewer::ConnectControls() {
    connect(Ui_->btOpen, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btOpenClick(); }); });
    connect(Ui_->btExit, &QPushButton::clicked, this,
            [this] { RunHandler([this] { btExitClick(); }); });
    for (int index = 0; index < static_cast<int>(Selectors_.size()); ++index) {
        connect(Selectors_[index], &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked && !CheckingFromCode_) {
                RunHandler([this, index] { rbXClick(index); });
            }
        });
    }
    for (TWindowPaintBox* chart : {Ui_->pbPolarChart, Ui_->pbNeighborChart}) {
        chart->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(chart, &QWidget::customContextMenuRequested, this,
                [this, chart](QPoint at) { ShowMenu(ChartMenu(*chart), *chart, at); });
    }
    Ui_->mmFileContent->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Ui_->mmFileContent, &QWidget::customContextMenuRequested, this, [this](QPoint at) {
        ShowMenu(FileContentMenu(), *Ui_->mmFileContent->viewport(), at);
    });
    Ui_->pbPolarChart->OnPaint = [this] {
        RunPaintHandler([this] { Loader_->pbPolarChartPaint(); });
    };
    Ui_->pbNeighborChart->OnPaint = [this] {
        RunPaintHandler([this] { Loader_->pbNeighborChartPaint(); });
    };
}

template <typename Handler>
void TfmNorvaViewer::RunHandler(Handler&& handler) {
    ErrorReason_.clear();
    try {
        handler();
    } catch (const std::exception& error) {
        ShowError(DecodeErrorText(error.what()), std::exchange(ErrorReason_, {}));
    } catch (...) {
        ShowError(UnknownErrorText, {});
    }
}

template <typename Handler>
void TfmNorvaViewer::RunPaintHandler(Handler&& handler) {
    // A modal message inside a paint event would paint into itself; show it once
    // the paint is over.
    try {
        handler();
    } catch (const std::exception& error) {
        const QString message = DecodeErrorText(error.what());
        QTimer::singleShot(0, this, [this, message] { ShowError(message, {}); });
    } catch (...) {
        QTimer::singleShot(0, this, [this] { ShowError(UnknownErrorText, {}); });
    }
}

void TfmNorvaViewer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!Shown_) {
        Shown_ = true;
        // Now the frame is known: the whole window, title bar included, must fit.
        if (const QScreen* shown = screen(); shown != nullptr && isWindow()) {
            move(WindowPosition(frameGeometry().size(), shown->geometry(),
                                shown->availableGeometry()));
        }
        // After the window is on the screen: the file given at start loads while it paints.
        QMetaObject::invokeMethod(
            this,
            [this] {
                RunHandler([this] { FormShow(); });
                StartHandled_ = true;
            },
            Qt::QueuedConnection);
    }
}

void TfmNorvaViewer::FormShow() {
    std::error_code ec;
    if (!StartFile_.empty() && std::filesystem::is_regular_file(StartFile_, ec)) {
        LoadLogFile(StartFile_);
    } else if (!StartFile_.empty() && std::filesystem::is_directory(StartFile_, ec)) {
        OpenLogFolder(StartFile_);
    }
}

void TfmNorvaViewer::keyPressEvent(QKeyEvent* event) {
    // The Open button is the window's cancel button: Escape presses it unless the
    // focused control took the key itself (then the event would not arrive here).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        Ui_->btOpen->isEnabled()) {
        Ui_->btOpen->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfmNorvaViewer::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(*event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void TfmNorvaViewer::dropEvent(QDropEvent* event) {
    // Read the list before any event runs: the drop data belongs to the drop event.
    const QList<std::filesystem::path> files = DroppedFiles(*event->mimeData());
    event->acceptProposedAction();
    RunHandler([this, &files] { WMDropFiles(files); });
}

// The folder of the log opened last in this run; remembered nowhere else.
QString TfmNorvaViewer::LastLogFolder() const {
    return LoadedPath_.isEmpty()
               ? QString()
               : QFile::decodeName(QByteArray::fromStdString(LoadedFile_.parent_path().native()));
}

void TfmNorvaViewer::btOpenClick() {
    const QString path = ChooseLogFile(LastLogFolder());
    if (!path.isEmpty()) {
        LoadLogFile(PathBytes(path));
    }
}

void TfmNorvaViewer::btExitClick() {
    close();
}

void TfmNorvaViewer::WMDropFiles(const QList<std::filesystem::path>& paths) {
    // A folder opens as a list and leaves the log shown as it is.
    std::error_code ec;
    if (!paths.isEmpty() && std::filesystem::is_directory(paths.first(), ec)) {
        OpenLogFolder(paths.first());
        return;
    }
    const TWaitCursor waiting(TWaitCursor::RunPendingEvents);
    Ui_->mmFileContent->Clear();
    // The whole path is used, however long: the file system allows far more than
    // 255 characters and a cut path would name another file or none.
    if (!paths.isEmpty()) {
        LoadLogFile(paths.first());
    }
}

void TfmNorvaViewer::rbXClick(int index) {
    Loader_->rbXClick(index);
    UpdateAccessibleTexts();
}

void TfmNorvaViewer::ReloadLogFile() {
    if (!LoadedFile_.empty()) {
        LoadLogFile(LoadedFile_);
    }
}

void TfmNorvaViewer::LoadLogFile(const std::filesystem::path& path) {
    // Every way in (Open, drop, command line, reload) waits here; a large log takes seconds.
    const TWaitCursor waiting;
    // Also after a failed load: what it reset is announced as it is shown.
    const auto announce = qScopeGuard([this] { UpdateAccessibleTexts(); });
    ShowLoadingFileName(path);
    const TFileStamp stamp = FileStamp(path);
    try {
        if (!PrepareAndShowLoad(path)) {
            // Given up: as after a file that could not be opened, without a message.
            SetFileNameText(LoadedPath_.isEmpty() ? QStringLiteral("...") : LoadedPath_);
            return;
        }
    } catch (const EFOpenError&) {
        ErrorReason_ = QString::fromStdString(OpenFailureReason(path));
        // The text box still shows the earlier file (or nothing): so does the name label.
        SetFileNameText(LoadedPath_.isEmpty() ? QStringLiteral("...") : LoadedPath_);
        throw;
    } catch (const EIntOverflow&) {
        ErrorReason_ = QString::fromUtf8(OverflowReason.data(), std::ssize(OverflowReason));
        throw;
    }
    LoadedStamp_ = stamp;
    ShowWhyNotChecked();
    const std::optional<TLikelyCause>& cause = Loader_->LikelyCause();
    if (cause && cause->Found()) {
        ShowLikelyCause(QString::fromStdString(LikelyCauseText(*cause)));
    }
    WatchLoadedFile();
}

// The file is read, scanned and judged on a thread of its own while this thread goes on
// painting and running timers; the user's input meanwhile is dropped, and Escape or closing
// the window gives the load up. False when it was given up.
bool TfmNorvaViewer::PrepareAndShowLoad(const std::filesystem::path& path) {
    Loader_->ResetLogState();
    ReleaseFinishedLoads();
    auto job = std::make_unique<TLoadJob>(path);
    const TLoadWaitEnd end =
        WaitForLoad(*job, *this, [this](double done) { ShowLikelyCause(LoadingText(done)); });
    ShowLikelyCause({});
    if (end != TLoadWaitEnd::Ended) {
        job->Stop();
        // Its thread ends at its next progress report; nobody waits for it here.
        AbandonedLoads_.push_back(std::move(job));
        if (end == TLoadWaitEnd::WindowClosing) {
            QTimer::singleShot(0, this, &QWidget::close);
        }
        return false;
    }
    Loader_->ShowPreparedLoad(job->TakeResult());
    return true;
}

void TfmNorvaViewer::ReleaseFinishedLoads() {
    std::erase_if(AbandonedLoads_,
                  [](const std::unique_ptr<TLoadJob>& job) { return job->Finished(); });
}

// While a large file loads, nothing of the earlier file may stand beside it as if it were
// the new one's.
void TfmNorvaViewer::ShowLoadingFileName(const std::filesystem::path& path) {
    SetFileNameText(PathText(path));
    SetCheckResult("...");
    ShowLikelyCause({});
}

// Below the text box, and as the verdict's tooltip: the harmless change that explains a NOT
// VALID verdict, which stays NOT VALID. Empty for every other file.
void TfmNorvaViewer::ShowLikelyCause(const QString& text) {
    Ui_->lbLikelyCause->setText(text);
    Ui_->lbCheckResult->setToolTip(text);
}

// The loader leaves the verdict label alone for a file it does not check.
void TfmNorvaViewer::ShowWhyNotChecked() {
    const TLogState& state = Loader_->State();
    if (Loader_->Verdict() || state.SoftwareVersion >= MinimumSoftwareVersion) {
        return;
    }
    const std::string why = WhyNotCheckedText(state, Loader_->TextEmpty());
    ShowVerdictText(QStringLiteral("Not checked: ") + QString::fromStdString(why));
}

// The verdict label, and the text box it colours tells a screen reader the same.
void TfmNorvaViewer::ShowVerdictText(const QString& text) {
    SetAutoSizedText(*Ui_->lbCheckResult, text);
    Ui_->mmFileContent->setAccessibleDescription(text);
}

// Changes come in bursts while a log is written; the reload waits until the file has been
// quiet for a moment and reloads again if it changed meanwhile. The folder is watched too:
// a file replaced by renaming another over it is a new file the old watch does not see.
void TfmNorvaViewer::WatchLoadedFile() {
    Watcher_ = std::make_unique<QFileSystemWatcher>();
    const QString file = QFile::decodeName(QByteArray::fromStdString(LoadedFile_.native()));
    Watcher_->addPath(file);
    Watcher_->addPath(QFileInfo(file).absolutePath());
    connect(Watcher_.get(), &QFileSystemWatcher::fileChanged, this,
            [this] { ReloadTimer_.start(); });
    connect(Watcher_.get(), &QFileSystemWatcher::directoryChanged, this,
            [this] { ReloadTimer_.start(); });
}

void TfmNorvaViewer::LoadedFileChanged() {
    if (QApplication::activeModalWidget() != nullptr || QApplication::overrideCursor() != nullptr) {
        ReloadTimer_.start();  // not inside a dialog or another load
        return;
    }
    std::error_code ec;
    if (LoadedFile_.empty() || !std::filesystem::is_regular_file(LoadedFile_, ec) ||
        FileStamp(LoadedFile_) == LoadedStamp_) {
        return;  // gone for now (the folder watch sees it come back), or not changed
    }
    RunHandler([this] { ReloadLogFile(); });
}

QString TfmNorvaViewer::RunOpenDialog(const QString& startFolder) {
    QFileDialog dialog(this);
    if (!startFolder.isEmpty()) {
        dialog.setDirectory(startFolder);
    }
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(LogFileDialogFilter());
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

QString TfmNorvaViewer::RunSaveDialog(const QString& caption, const QString& suggested,
                                      const QString& filter) {
    QFileDialog dialog(this, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

// Beside the log, named after it: demo.ktz gives demo-polar.png, demo.csv and so on.
QString TfmNorvaViewer::SuggestedPath(const QString& suffix) const {
    const QFileInfo log(LoadedPath_);
    return log.dir().filePath(log.completeBaseName() + suffix);
}

void TfmNorvaViewer::ShowMenu(std::unique_ptr<QMenu> menu, QWidget& owner, QPoint at) {
    menu->exec(owner.mapToGlobal(at));
}

void TfmNorvaViewer::ShowFocusedContextMenu() {
    QWidget* focused = focusWidget();
    for (TWindowPaintBox* chart : {Ui_->pbPolarChart, Ui_->pbNeighborChart}) {
        if (focused == chart) {
            ShowMenu(ChartMenu(*chart), *chart, chart->rect().center());
            return;
        }
    }
    if (focused == Ui_->mmFileContent) {
        QWidget& viewport = *Ui_->mmFileContent->viewport();
        ShowMenu(FileContentMenu(), viewport, viewport.rect().center());
    }
}

std::unique_ptr<QMenu> TfmNorvaViewer::ChartMenu(TWindowPaintBox& chart) {
    auto menu = std::make_unique<QMenu>(this);
    QAction* save = menu->addAction(SaveChartText);
    save->setEnabled(Loader_->State().DataLoaded && !chart.Image().isNull());
    connect(save, &QAction::triggered, this,
            [this, &chart] { RunHandler([this, &chart] { SaveChartImage(chart); }); });
    return menu;
}

std::unique_ptr<QMenu> TfmNorvaViewer::FileContentMenu() {
    auto menu = std::make_unique<QMenu>(this);
    TLazyTextView& content = *Ui_->mmFileContent;
    QAction* copy = menu->addAction(QStringLiteral("&Copy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(content.HasSelection());
    connect(copy, &QAction::triggered, this, [&content] { content.CopySelection(); });
    QAction* selectAll = menu->addAction(QStringLiteral("Select &All"));
    selectAll->setShortcut(QKeySequence::SelectAll);
    selectAll->setEnabled(content.LineCount() > 0);
    connect(selectAll, &QAction::triggered, this, [&content] { content.SelectAll(); });
    QAction* exportCsv = menu->addAction(ExportCsvText);
    exportCsv->setEnabled(Loader_->State().DataLoaded);
    connect(exportCsv, &QAction::triggered, this,
            [this] { RunHandler([this] { ExportCellsCsv(); }); });
    menu->addSeparator();
    QAction* openFolder = menu->addAction(OpenFolderText);
    openFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    connect(openFolder, &QAction::triggered, this,
            [this] { RunHandler([this] { OpenFolderClick(); }); });
    return menu;
}

void TfmNorvaViewer::SaveChartImage(TWindowPaintBox& chart) {
    const bool polar = &chart == Ui_->pbPolarChart;
    const QString suffix =
        polar ? QStringLiteral("-polar.png")
              : QStringLiteral("-direction%1.png").arg(std::max(0, Loader_->SelectedDirection()));
    const QString chosen =
        ChooseSaveFile(SaveChartText, SuggestedPath(suffix), QStringLiteral("PNG images (*.png)"));
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = WithSuffix(chosen, QStringLiteral("png"));
    const QImage image = chart.Image();
    WriteChosenFile(path, [&image](QSaveFile& file) { return WritePng(image, file); });
}

void TfmNorvaViewer::ExportCellsCsv() {
    const QString chosen = ChooseSaveFile(ExportCsvText, SuggestedPath(QStringLiteral(".csv")),
                                          QStringLiteral("CSV files (*.csv)"));
    if (chosen.isEmpty()) {
        return;
    }
    const QString path = WithSuffix(chosen, QStringLiteral("csv"));
    // The digest names the bytes shown; a file changed since its load has other bytes.
    const std::string digest =
        FileStamp(LoadedFile_) == LoadedStamp_ ? FileSha256(LoadedFile_) : std::string();
    const std::string csv =
        CellCsvHeader() + CellCsvRows(LoadedPath_.toStdString(), Loader_->DirectionSlots(),
                                      Loader_->Verdict(), digest,
                                      Loader_->LikelyCause()
                                          ? LikelyCauseCodes(Loader_->LikelyCause()->Changes)
                                          : std::string());
    WriteChosenFile(path, [&csv](QSaveFile& file) {
        return file.write(csv.data(), static_cast<qint64>(csv.size())) ==
               static_cast<qint64>(csv.size());
    });
}

void TfmNorvaViewer::ShowErrorBox(const QString& message, const QString& reason) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, message, QMessageBox::Ok, this);
    box.setInformativeText(reason);
    box.exec();
}

void TfmNorvaViewer::SetFileContent(const TLogText& text) {
    Ui_->mmFileContent->SetText(text);
}

void TfmNorvaViewer::SetFileContentColor(std::optional<TRgb> color) {
    ContentTint_ = color;
    QPalette content = NormalContentPalette_;
    if (color) {
        // The verdict tints are light whatever the desktop's colours: the text must suit them.
        content.setColor(QPalette::Base, QColor(*color));
        content.setColor(QPalette::Text, ReadableTextColor(QColor(*color)));
    }
    Ui_->mmFileContent->setPalette(content);
}

void TfmNorvaViewer::SetFileName(const std::filesystem::path& path) {
    LoadedFile_ = path;
    LoadedPath_ = PathText(path);
    SetFileNameText(LoadedPath_);
    if (LogList_) {
        LogList_->FollowShownLog(path);
    }
}

// The label stops at 310 pixels: a longer path loses its middle there, so that the file's
// own name stays in view; the tooltip holds it whole.
void TfmNorvaViewer::SetFileNameText(const QString& name) {
    QLabel& label = *Ui_->lbLogfileName;
    SetAutoSizedText(label,
                     label.fontMetrics().elidedText(name, Qt::ElideMiddle, label.maximumWidth()));
    label.setToolTip(name == QLatin1String("...") ? QString() : name);
}

void TfmNorvaViewer::SetCheckResult(const std::string& text) {
    ShowVerdictText(DecodeWindows1252(text));
}

void TfmNorvaViewer::MoveSelector(int index, int left, int top) {
    Selectors_.at(index)->move(left, top);
}

void TfmNorvaViewer::EnableSelector(int index, bool enabled) {
    Selectors_.at(index)->setEnabled(enabled);
}

void TfmNorvaViewer::CheckSelector(int index) {
    const QScopedValueRollback fromCode(CheckingFromCode_, true);
    Selectors_.at(index)->setChecked(true);
}

TPaintBox& TfmNorvaViewer::PolarPaintBox() {
    return *Ui_->pbPolarChart;
}

TPaintBox& TfmNorvaViewer::NeighborPaintBox() {
    return *Ui_->pbNeighborChart;
}

TTextLabel& TfmNorvaViewer::CurrentCellLabel() {
    return *Ui_->lbCurrentCell;
}

TTextLabel& TfmNorvaViewer::NeighborsLabel() {
    return *Ui_->lbNeighbors;
}

QString LogFileDialogFilter() {
    // With HideNameFilterDetails the dialog shows the text before the last
    // parenthesis group and matches the pattern inside it.
    return QStringLiteral("NORVA-G Measurements (*.ktz) (*.[kK][tT][zZ])");
}
