#include "window/LogListWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <array>

#include "app/PathText.h"
#include "window/LogListModel.h"
#include "window/ReportJob.h"
#include "window/WindowAccessibility.h"

namespace {

struct TOutcomeChoice {
    const char* Text;
    const char* Covers;  // as a report's summary says it
    TLogListFilter::TOutcomeChoice Filter;
};

const std::array<TOutcomeChoice, 8> OutcomeChoices{{
    {"All logs", "", {}},
    {"All problems", "all but OK", {std::nullopt, true}},
    {"Only OK", "only OK", {TCheckOutcome::Ok, false}},
    {"Only NOT VALID", "only NOT VALID", {TCheckOutcome::NotValid, false}},
    {"NOT VALID, harmless change",
     "NOT VALID, explained by a harmless change",
     {std::nullopt, false, true}},
    {"Only not interpretable", "only not interpretable", {TCheckOutcome::NotInterpretable, false}},
    {"Only not checked", "only not checked", {TCheckOutcome::NotChecked, false}},
    {"Only failed to load", "only failed to load", {TCheckOutcome::Error, false}},
}};

QString FolderText(const std::filesystem::path& folder) {
    return QDir::toNativeSeparators(DisplayPathText(folder));
}

}  // namespace

QString LogListStepKeysText() {
    return QStringLiteral(
        "Next log: Ctrl+Page Down   Previous log: Ctrl+Page Up (in either window)");
}

TLogListWindow::TLogListWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      Model_(new TLogListModel(this)),
      Filter_(new TLogListFilter(this)),
      Table_(new QTableView(this)),
      NameEdit_(new QLineEdit(this)),
      OutcomeCombo_(new QComboBox(this)),
      Progress_(new QProgressBar(this)),
      Count_(new QLabel(this)),
      SaveReport_(new QPushButton(QStringLiteral("Save &report\u2026"), this)),
      ReportProgress_(new QProgressBar(this)),
      CancelReport_(new QPushButton(QStringLiteral("&Cancel report"), this)),
      ReportStatus_(new QLabel(this)) {
    InstallWindowAccessibility();
    setWindowTitle(QStringLiteral("Log list"));
    resize(760, 520);
    Filter_->setSourceModel(Model_);
    Table_->setModel(Filter_);
    Table_->setSortingEnabled(true);
    Table_->sortByColumn(TLogListModel::ColName, Qt::AscendingOrder);
    Table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table_->setSelectionMode(QAbstractItemView::SingleSelection);
    Table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One line per row, the names elided in the middle so that the file's own name stays in
    // view, and no sideways scrolling that would hide them.
    Table_->setWordWrap(false);
    Table_->setTextElideMode(Qt::ElideMiddle);
    Table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    Table_->verticalHeader()->hide();
    Table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Table_->verticalHeader()->setDefaultSectionSize(Table_->fontMetrics().height() + 6);
    Table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Table_->horizontalHeader()->setSectionResizeMode(TLogListModel::ColName, QHeaderView::Stretch);
    Table_->horizontalHeader()->setStretchLastSection(false);
    FitColumns();
    NameEdit_->setPlaceholderText(QStringLiteral("Filter by name"));
    NameEdit_->setClearButtonEnabled(true);
    for (const TOutcomeChoice& choice : OutcomeChoices) {
        OutcomeCombo_->addItem(QString::fromLatin1(choice.Text));
    }
    Progress_->setTextVisible(false);
    ReportProgress_->setTextVisible(false);
    Table_->setAccessibleName(QStringLiteral("Logs"));
    Progress_->setAccessibleName(QStringLiteral("Checking logs"));
    ReportProgress_->setAccessibleName(QStringLiteral("Writing report"));
    ReportProgress_->hide();
    CancelReport_->hide();

    auto* filters = new QHBoxLayout;
    auto* nameLabel = new QLabel(QStringLiteral("&Name:"), this);
    nameLabel->setBuddy(NameEdit_);
    auto* outcomeLabel = new QLabel(QStringLiteral("&Show:"), this);
    outcomeLabel->setBuddy(OutcomeCombo_);
    filters->addWidget(nameLabel);
    filters->addWidget(NameEdit_, 1);
    filters->addWidget(outcomeLabel);
    filters->addWidget(OutcomeCombo_);
    auto* status = new QHBoxLayout;
    status->addWidget(Progress_, 1);
    status->addWidget(Count_);
    status->addWidget(SaveReport_);
    auto* report = new QHBoxLayout;
    report->addWidget(ReportStatus_, 1);
    report->addWidget(ReportProgress_, 1);
    report->addWidget(CancelReport_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(Table_, 1);
    layout->addLayout(status);
    layout->addLayout(report);
    layout->addWidget(new QLabel(LogListStepKeysText(), this));

    connect(NameEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        Refilter([this, &text] { Filter_->SetNameFilter(text); });
    });
    connect(OutcomeCombo_, &QComboBox::currentIndexChanged, this,
            &TLogListWindow::ApplyOutcomeFilter);
    connect(Model_, &TLogListModel::ProgressChanged, this, [this] { ShowProgress(); });
    connect(Model_, &TLogListModel::CheckFailed, this,
            [this](const QString& message) { ShowError(message); });
    connect(Table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { ChooseRow(current); });
    connect(Table_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { ChooseRow(index); });
    // A folder opens at its first log as soon as it is listed, not whenever the table happens
    // to get the focus. Asked of the list model itself: the filter passes on new rows only
    // once a view has looked at it.
    connect(Model_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!Table_->currentIndex().isValid() && Filter_->rowCount() > 0) {
            Table_->setCurrentIndex(Filter_->index(0, TLogListModel::ColName));
        }
    });
    connect(SaveReport_, &QPushButton::clicked, this, &TLogListWindow::SaveReport);
    connect(CancelReport_, &QPushButton::clicked, this, &TLogListWindow::CancelReport);

    ChooseReportFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save report"), suggested,
                                            QStringLiteral("PDF files (*.pdf)"));
    };
    ShowError = [this](const QString& message) {
        QMessageBox::critical(this, QStringLiteral("NORVA-G Viewer"), message);
    };
}

TLogListWindow::~TLogListWindow() = default;

// Verdict, Version, First record and Size take what their usual contents need; the name gets
// the rest. Longer texts of a rare outcome are elided, and whole in the tooltip.
void TLogListWindow::FitColumns() {
    const QFontMetrics metrics = Table_->fontMetrics();
    const int padding = 3 * metrics.averageCharWidth();
    const auto fit = [&](int column, const QStringList& samples) {
        const QString title =
            Model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        int width =
            Table_->horizontalHeader()->fontMetrics().horizontalAdvance(title) + 2 * padding;
        for (const QString& sample : samples) {
            width = std::max(width, metrics.horizontalAdvance(sample) + padding);
        }
        Table_->horizontalHeader()->resizeSection(column, width);
    };
    fit(TLogListModel::ColVerdict, {QStringLiteral("The file could not be interpreted"),
                                    QStringLiteral("The signature is NOT VALID")});
    fit(TLogListModel::ColVersion, {QStringLiteral("99999")});
    fit(TLogListModel::ColFirstRecord, {QStringLiteral("2024-05-14 10:22:31")});
    fit(TLogListModel::ColSize, {QStringLiteral("1023.99 MiB")});
}

void TLogListWindow::OpenFolder(const std::filesystem::path& folder, unsigned jobs) {
    setWindowTitle(QStringLiteral("Log list \u2013 %1").arg(FolderText(folder)));
    Model_->Open(folder, jobs);
    ShowProgress();
}

void TLogListWindow::closeEvent(QCloseEvent* event) {
    Model_->Stop();
    CancelReport();
    QWidget::closeEvent(event);
}

void TLogListWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitColumns();
}

void TLogListWindow::ChooseRow(const QModelIndex& index) {
    if (!index.isValid() || Refiltering_ || Following_) {
        return;
    }
    const TLogListRow& row = Model_->Row(Filter_->mapToSource(index).row());
    // The row of a folder without logs says so; there is no log to show.
    std::error_code ec;
    if (!std::filesystem::is_directory(row.Path, ec)) {
        emit LogChosen(row.Path);
    }
}

bool TLogListWindow::Step(int delta) {
    const int rows = Filter_->rowCount();
    if (rows == 0) {
        return false;
    }
    const QModelIndex current = Table_->currentIndex();
    const int target = current.isValid() ? current.row() + delta : (delta > 0 ? 0 : rows - 1);
    if (target < 0 || target >= rows) {
        return false;
    }
    // Selecting the row shows its log through currentRowChanged.
    Table_->setCurrentIndex(Filter_->index(target, TLogListModel::ColName));
    return true;
}

void TLogListWindow::FollowShownLog(const std::filesystem::path& path) {
    const int row = Model_->RowOf(path);
    if (row < 0) {
        return;
    }
    const QModelIndex shown = Filter_->mapFromSource(Model_->index(row, TLogListModel::ColName));
    if (!shown.isValid() || shown.row() == Table_->currentIndex().row()) {
        return;
    }
    Following_ = true;
    Table_->setCurrentIndex(shown);
    Table_->scrollTo(shown);
    Following_ = false;
}

QString TLogListWindow::CountText() const {
    if (!Model_->Listed()) {
        return QStringLiteral("listing\u2026");
    }
    const int total = Model_->rowCount();
    const int checked = Model_->CheckedCount();
    if (Filter_->Filtering()) {
        return QStringLiteral("%1 of %2 logs shown, %3 checked")
            .arg(Filter_->rowCount())
            .arg(total)
            .arg(checked);
    }
    if (checked == total) {
        return QStringLiteral("%1 logs checked").arg(total);
    }
    return QStringLiteral("checked %1 of %2").arg(checked).arg(total);
}

void TLogListWindow::ShowProgress() {
    const int total = Model_->rowCount();
    Progress_->setRange(0, std::max(total, 1));
    Progress_->setValue(Model_->Done() ? std::max(total, 1) : Model_->CheckedCount());
    Count_->setText(CountText());
}

void TLogListWindow::ApplyOutcomeFilter(int comboIndex) {
    if (comboIndex >= 0 && comboIndex < static_cast<int>(OutcomeChoices.size())) {
        Refilter([this, comboIndex] {
            Filter_->SetOutcomeFilter(OutcomeChoices[static_cast<size_t>(comboIndex)].Filter);
        });
    }
}

// A filter never shows a log by itself: when it hides the current row, the view would move on
// to a neighbour; instead nothing is current, and the next step starts from the top.
void TLogListWindow::Refilter(const std::function<void()>& change) {
    const QPersistentModelIndex before = Filter_->mapToSource(Table_->currentIndex());
    Refiltering_ = true;
    change();
    const QModelIndex after = Filter_->mapFromSource(before);
    if (after.isValid()) {
        Table_->selectionModel()->setCurrentIndex(
            after, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
        Table_->selectionModel()->clear();
    }
    Refiltering_ = false;
    ShowProgress();
}

QString TLogListWindow::CoverageText() const {
    if (!Filter_->Filtering()) {
        return {};
    }
    QStringList what;
    const int choice = OutcomeCombo_->currentIndex();
    if (choice > 0 && choice < static_cast<int>(OutcomeChoices.size())) {
        what << QString::fromLatin1(OutcomeChoices[static_cast<size_t>(choice)].Covers);
    }
    if (!NameEdit_->text().isEmpty()) {
        what << QStringLiteral("names containing \u201c%1\u201d").arg(NameEdit_->text());
    }
    return QStringLiteral("%1 of %2 logs: %3")
        .arg(Filter_->rowCount())
        .arg(Model_->rowCount())
        .arg(what.join(QStringLiteral(", ")));
}

QString TLogListWindow::OrderText() const {
    const QHeaderView& header = *Table_->horizontalHeader();
    const int column = header.sortIndicatorSection();
    if (column < 0 || column >= TLogListModel::ColumnCount) {
        return QStringLiteral("as listed");
    }
    return QStringLiteral("%1, %2").arg(
        Model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
        header.sortIndicatorOrder() == Qt::AscendingOrder ? QStringLiteral("ascending")
                                                          : QStringLiteral("descending"));
}

void TLogListWindow::SaveReport() {
    if (Report_ || Filter_->rowCount() == 0) {
        return;
    }
    if (!Model_->Done()) {
        ShowError(
            QStringLiteral("The logs are still being checked: the report can be saved "
                           "once every log of the list has its result."));
        return;
    }
    const QString folder = FolderText(Model_->Folder());
    QString path = ChooseReportFile(
        QDir(folder).filePath(QDir(folder).dirName() + QStringLiteral("-report.pdf")));
    if (path.isEmpty()) {
        return;
    }
    // A dialog that ignores the filter's suffix still gets a PDF file.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".pdf");
    }
    if (const QString problem = ReportFileProblem(path); !problem.isEmpty()) {
        ShowError(problem);
        return;
    }
    StartReport(path);
}

// The logs as the list shows them, in its order, through its filters, with the outcomes the
// list found: the report checks nothing again.
void TLogListWindow::StartReport(const QString& path) {
    std::vector<TReportLog> logs;
    logs.reserve(static_cast<size_t>(Filter_->rowCount()));
    for (int row = 0; row < Filter_->rowCount(); ++row) {
        const TLogListRow& shown = Model_->Row(Filter_->mapToSource(Filter_->index(row, 0)).row());
        TReportLog log;
        log.Path = shown.Path;
        log.Name = shown.Name;
        log.Outcome = shown.Outcome.value_or(TCheckOutcome::Error);
        log.OutcomeText = shown.OutcomeText;
        log.SoftwareVersion = shown.SoftwareVersion;
        log.HeaderRead = shown.SoftwareVersion.value_or(0) != 0;
        log.Sha256 = shown.Sha256;
        log.LikelyCause = shown.LikelyCause;
        logs.push_back(std::move(log));
    }
    MarkDuplicates(logs);
    TDeliveryReportOptions options;
    options.Source = FolderText(Model_->Folder());
    options.Coverage = CoverageText();
    options.Order = OrderText();
    options.CheckedBy =
        QStringLiteral("NorvaViewer %1").arg(QCoreApplication::applicationVersion());
    options.When = QDateTime::currentDateTime();
    Report_ = new TReportJob(path, std::move(logs), options, this);
    connect(Report_, &TReportJob::Progress, this, [this](int done, int total) {
        ReportProgress_->setRange(0, std::max(total, 1));
        ReportProgress_->setValue(done);
    });
    connect(Report_, &TReportJob::Ended, this, &TLogListWindow::ReportFinished);
    ReportStatus_->setText(QStringLiteral("Writing %1\u2026").arg(QFileInfo(path).fileName()));
    ReportProgress_->setValue(0);
    ReportProgress_->show();
    CancelReport_->show();
    // The key that started the report can stop it: the focus moves on to Cancel.
    const bool keyboard = SaveReport_->hasFocus();
    SaveReport_->setEnabled(false);
    if (keyboard) {
        CancelReport_->setFocus(Qt::OtherFocusReason);
    }
}

void TLogListWindow::CancelReport() {
    if (Report_) {
        Report_->Cancel();
        ReportStatus_->setText(QStringLiteral("Cancelling the report\u2026"));
    }
}

void TLogListWindow::ReportFinished(bool cancelled, const QString& error) {
    const QString path = Report_ ? Report_->Path() : QString();
    // Its thread has ended (it told so last); the job goes once this signal has returned.
    if (Report_) {
        Report_->deleteLater();
        Report_ = nullptr;
    }
    const bool keyboard = CancelReport_->hasFocus();
    ReportProgress_->hide();
    CancelReport_->hide();
    SaveReport_->setEnabled(true);
    if (keyboard) {
        SaveReport_->setFocus(Qt::OtherFocusReason);
    }
    if (!error.isEmpty()) {
        ReportStatus_->setText(QStringLiteral("The report was not written."));
        ShowError(error);
    } else if (cancelled) {
        ReportStatus_->setText(QStringLiteral("The report was cancelled; no file was written."));
    } else {
        ReportStatus_->setText(
            QStringLiteral("Report saved: %1").arg(QDir::toNativeSeparators(path)));
    }
    emit ReportEnded(cancelled, error);
}
