#include "window/NorvaViewerUnit.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <exception>

#include "app/CellCsv.h"
#include "app/LogLoader.h"
#include "charts/MonitorGraphics.h"
#include "ui_NorvaViewerUnit.h"
#include "window/LogListWindow.h"
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

// Shows the wait cursor for the lifetime of the object, letting pending events run
// on either side so that the cursor change becomes visible; restored also on error.
class TWaitCursor {
  public:
    TWaitCursor() {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        QApplication::processEvents();
    }
    ~TWaitCursor() {
        QApplication::restoreOverrideCursor();
        QApplication::processEvents();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

QStringList DroppedFiles(const QMimeData& data) {
    QStringList files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            files.append(url.toLocalFile());
        }
    }
    return files;
}

QString PathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

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

TfmNorvaViewer::TfmNorvaViewer(QString startFile, QWidget* parent)
    : QWidget(parent),
      Ui_(std::make_unique<Ui::TfmNorvaViewer>()),
      StartFile_(std::move(startFile)) {
    InitViewerResources();
    Ui_->setupUi(this);
    // The layout file places the charts; their sizes are the charts' own.
    Ui_->pbPolarChart->resize(PolarChartSize);
    Ui_->pbNeighborChart->resize(BarChartSize);
    Selectors_ = {Ui_->rb0, Ui_->rb1, Ui_->rb2, Ui_->rb3, Ui_->rb4, Ui_->rb5, Ui_->rb6, Ui_->rb7};
    ApplyWindowLook();
    ChooseLogFile = [this] { return RunOpenDialog(); };
    ChooseSaveFile = [this](const QString& caption, const QString& suggested,
                            const QString& filter) {
        return RunSaveDialog(caption, suggested, filter);
    };
    ShowError = [this](const QString& message) { ShowErrorBox(message); };
    ChooseLogFolder = [this] { return RunFolderDialog(); };
    Loader_ = std::make_unique<TLogLoader>(*this);
    ConnectControls();
    ConnectFolderKeys();
}

TfmNorvaViewer::~TfmNorvaViewer() = default;

// The window's layout is fixed: opening a folder and stepping through its logs are keys
// (and a context menu entry), not buttons.
void TfmNorvaViewer::ConnectFolderKeys() {
    auto* openFolder = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this);
    connect(openFolder, &QShortcut::activated, this,
            [this] { RunHandler([this] { OpenFolderClick(); }); });
    const std::pair<QKeyCombination, int> steps[] = {{Qt::CTRL | Qt::Key_PageDown, 1},
                                                     {Qt::CTRL | Qt::Key_PageUp, -1}};
    for (const auto& [key, delta] : steps) {
        auto* step = new QShortcut(QKeySequence(key), this);
        connect(step, &QShortcut::activated, this, [this, delta] { StepLog(delta); });
    }
}

void TfmNorvaViewer::OpenFolderClick() {
    const QString folder = ChooseLogFolder();
    if (!folder.isEmpty()) {
        OpenLogFolder(folder);
    }
}

void TfmNorvaViewer::OpenLogFolder(const QString& folder) {
    if (!LogList_) {
        LogList_ = std::make_unique<TLogListWindow>();
        LogList_->ShowError = [this](const QString& message) { ShowError(message); };
        connect(LogList_.get(), &TLogListWindow::LogChosen, this,
                [this](const QString& path) { RunHandler([this, &path] { LoadLogFile(path); }); });
        // The same keys step in the list window too.
        const std::pair<QKeyCombination, int> steps[] = {{Qt::CTRL | Qt::Key_PageDown, 1},
                                                         {Qt::CTRL | Qt::Key_PageUp, -1}};
        for (const auto& [key, delta] : steps) {
            auto* step = new QShortcut(QKeySequence(key), LogList_.get());
            connect(step, &QShortcut::activated, this, [this, delta] { StepLog(delta); });
        }
        // Beside the main window, where the screen has room.
        LogList_->move(frameGeometry().right() + 8, y());
    }
    LogList_->OpenFolder(folder);
    LogList_->show();
    LogList_->raise();
}

bool TfmNorvaViewer::StepLog(int delta) {
    return LogList_ && LogList_->isVisible() && LogList_->Step(delta);
}

QString TfmNorvaViewer::RunFolderDialog() {
    return QFileDialog::getExistingDirectory(this, QStringLiteral("Open folder"));
}

void TfmNorvaViewer::ApplyWindowLook() {
    setFixedSize(size());
    move(296, 176);
    QPalette face = palette();
    face.setColor(QPalette::Window, QColor(ButtonFaceColor));
    face.setColor(QPalette::Button, QColor(ButtonFaceColor));
    setPalette(face);
    PinFontsToLayoutDpi(*this);
    // A widget's own style is not passed on to its children.
    auto* groupBoxStyle = new TGroupBoxStyle();
    groupBoxStyle->setParent(this);
    for (QGroupBox* box : {Ui_->GroupBox1, Ui_->GroupBox2, Ui_->GroupBox3}) {
        box->setStyle(groupBoxStyle);
    }
    for (QLabel* label : {Ui_->Label1, Ui_->Label2, Ui_->Label3}) {
        label->adjustSize();
    }
    // Drops anywhere on the window, the text box included, are the window's.
    Ui_->mmFileContent->setAcceptDrops(false);
    Ui_->mmFileContent->viewport()->setAcceptDrops(false);
    NormalContentPalette_ = Ui_->mmFileContent->palette();
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
    try {
        handler();
    } catch (const std::exception& error) {
        ShowError(DecodeErrorText(error.what()));
    } catch (...) {
        ShowError(UnknownErrorText);
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
        QTimer::singleShot(0, this, [this, message] { ShowError(message); });
    } catch (...) {
        QTimer::singleShot(0, this, [this] { ShowError(UnknownErrorText); });
    }
}

void TfmNorvaViewer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!Shown_) {
        Shown_ = true;
        RunHandler([this] { FormShow(); });
    }
}

void TfmNorvaViewer::FormShow() {
    if (!StartFile_.isEmpty() && QFileInfo(StartFile_).isFile()) {
        LoadLogFile(StartFile_);
    } else if (!StartFile_.isEmpty() && QFileInfo(StartFile_).isDir()) {
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
    const QStringList files = DroppedFiles(*event->mimeData());
    event->acceptProposedAction();
    RunHandler([this, &files] { WMDropFiles(files); });
}

void TfmNorvaViewer::btOpenClick() {
    const QString path = ChooseLogFile();
    if (!path.isEmpty()) {
        LoadLogFile(path);
    }
}

void TfmNorvaViewer::btExitClick() {
    close();
}

void TfmNorvaViewer::WMDropFiles(const QStringList& paths) {
    // A folder opens as a list and leaves the log shown as it is.
    if (!paths.isEmpty() && QFileInfo(paths.first()).isDir()) {
        OpenLogFolder(paths.first());
        return;
    }
    const TWaitCursor waiting;
    Ui_->mmFileContent->Clear();
    // The whole path is used, however long: the file system allows far more than
    // 255 characters and a cut path would name another file or none.
    if (!paths.isEmpty()) {
        LoadLogFile(paths.first());
    }
}

void TfmNorvaViewer::rbXClick(int index) {
    Loader_->rbXClick(index);
}

void TfmNorvaViewer::LoadLogFile(const QString& path) {
    // Every way in (Open, drop, command line) waits here; a large log takes seconds.
    const TWaitCursor waiting;
    Loader_->LoadLogFile(std::filesystem::path(QFile::encodeName(path).toStdString()));
}

QString TfmNorvaViewer::RunOpenDialog() {
    QFileDialog dialog(this);
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
    copy->setEnabled(content.HasSelection());
    connect(copy, &QAction::triggered, this, [&content] { content.CopySelection(); });
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
    const QString path =
        ChooseSaveFile(SaveChartText, SuggestedPath(suffix), QStringLiteral("PNG images (*.png)"));
    if (path.isEmpty()) {
        return;
    }
    const QImage image = chart.Image();
    WriteChosenFile(path, [&image](QSaveFile& file) { return image.save(&file, "PNG"); });
}

void TfmNorvaViewer::ExportCellsCsv() {
    const QString path = ChooseSaveFile(ExportCsvText, SuggestedPath(QStringLiteral(".csv")),
                                        QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    const std::string csv =
        CellCsvHeader() +
        CellCsvRows(LoadedPath_.toStdString(), Loader_->DirectionSlots(), Loader_->Verdict());
    WriteChosenFile(path, [&csv](QSaveFile& file) {
        return file.write(csv.data(), static_cast<qint64>(csv.size())) ==
               static_cast<qint64>(csv.size());
    });
}

void TfmNorvaViewer::ShowErrorBox(const QString& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle, message, QMessageBox::Ok, this);
    box.exec();
}

void TfmNorvaViewer::SetFileContent(const std::vector<std::string>& lines) {
    Ui_->mmFileContent->SetLines(lines);
}

void TfmNorvaViewer::SetFileContentColor(const QColor& color) {
    QPalette content = NormalContentPalette_;
    if (color.isValid()) {
        content.setColor(QPalette::Base, color);
    }
    Ui_->mmFileContent->setPalette(content);
}

void TfmNorvaViewer::SetFileName(const std::filesystem::path& path) {
    const QString name = PathText(path);
    LoadedPath_ = name;
    SetAutoSizedText(*Ui_->lbLogfileName, name);
    // The label stops at 310 pixels; the whole path stays readable here.
    Ui_->lbLogfileName->setToolTip(name);
}

void TfmNorvaViewer::SetCheckResult(const std::string& text) {
    SetAutoSizedText(*Ui_->lbCheckResult, DecodeWindows1252(text));
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

TViewerCommandLine ParseViewerCommandLine(const QStringList& arguments) {
    TViewerCommandLine commandLine;
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty()) {
        return commandLine;
    }
    if (rest.first() == QLatin1String("--help")) {
        commandLine.Help = true;
        return commandLine;
    }
    if (rest.first() != QLatin1String("--screenshot")) {
        commandLine.StartFile = rest.first();
        return commandLine;
    }
    if (rest.size() < 2 || rest.at(1).isEmpty()) {
        commandLine.Error = QStringLiteral("--screenshot needs the name of the image to write");
        return commandLine;
    }
    commandLine.Screenshot = true;
    commandLine.ScreenshotPath = rest.at(1);
    if (rest.size() > 2) {
        commandLine.StartFile = rest.at(2);
    }
    return commandLine;
}
