#include "window/LogListWindow.h"

#include <QApplication>
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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <exception>

#include "report/DeliveryReport.h"
#include "window/LogListModel.h"

namespace {

struct TOutcomeChoice {
    const char* Text;
    std::optional<TCheckOutcome> Outcome;
};

const std::array<TOutcomeChoice, 6> OutcomeChoices{{
    {"All logs", std::nullopt},
    {"Only OK", TCheckOutcome::Ok},
    {"Only NOT VALID", TCheckOutcome::NotValid},
    {"Only not interpretable", TCheckOutcome::NotInterpretable},
    {"Only not checked", TCheckOutcome::NotChecked},
    {"Only failed to load", TCheckOutcome::Error},
}};

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
      SaveReport_(new QPushButton(QStringLiteral("Save &report\u2026"), this)) {
    setWindowTitle(QStringLiteral("Log list"));
    resize(760, 520);
    Filter_->setSourceModel(Model_);
    Table_->setModel(Filter_);
    Table_->setSortingEnabled(true);
    Table_->sortByColumn(TLogListModel::ColName, Qt::AscendingOrder);
    Table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table_->setSelectionMode(QAbstractItemView::SingleSelection);
    Table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table_->verticalHeader()->hide();
    Table_->horizontalHeader()->setSectionResizeMode(TLogListModel::ColName, QHeaderView::Stretch);
    Table_->horizontalHeader()->setSectionResizeMode(TLogListModel::ColVerdict,
                                                     QHeaderView::ResizeToContents);
    NameEdit_->setPlaceholderText(QStringLiteral("Filter by name"));
    NameEdit_->setClearButtonEnabled(true);
    for (const TOutcomeChoice& choice : OutcomeChoices) {
        OutcomeCombo_->addItem(QString::fromLatin1(choice.Text));
    }
    Progress_->setTextVisible(false);

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
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(Table_, 1);
    layout->addLayout(status);
    layout->addWidget(new QLabel(LogListStepKeysText(), this));

    connect(NameEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
        Refilter([this, &text] { Filter_->SetNameFilter(text); });
    });
    connect(OutcomeCombo_, &QComboBox::currentIndexChanged, this,
            &TLogListWindow::ApplyOutcomeFilter);
    connect(Model_, &TLogListModel::ProgressChanged, this, &TLogListWindow::ShowProgress);
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

    ChooseReportFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save report"), suggested,
                                            QStringLiteral("PDF files (*.pdf)"));
    };
    ShowError = [this](const QString& message) {
        QMessageBox::critical(this, QStringLiteral("NORVA-G Viewer"), message);
    };
}

TLogListWindow::~TLogListWindow() {
    Model_->Stop();
}

void TLogListWindow::OpenFolder(const QString& folder, unsigned jobs) {
    setWindowTitle(QStringLiteral("Log list \u2013 %1").arg(QDir::toNativeSeparators(folder)));
    Model_->Open(folder, jobs);
    ShowProgress(0, 0);
}

void TLogListWindow::closeEvent(QCloseEvent* event) {
    Model_->Stop();
    QWidget::closeEvent(event);
}

void TLogListWindow::ChooseRow(const QModelIndex& index) {
    if (!index.isValid() || Refiltering_) {
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

void TLogListWindow::ShowProgress(int checked, int total) {
    Progress_->setRange(0, std::max(total, 1));
    Progress_->setValue(Model_->Done() ? std::max(total, 1) : checked);
    if (!Model_->Listed()) {
        Count_->setText(QStringLiteral("listing\u2026"));
    } else if (Model_->Done()) {
        Count_->setText(QStringLiteral("%1 logs checked").arg(total));
    } else {
        Count_->setText(QStringLiteral("checked %1 of %2").arg(checked).arg(total));
    }
}

void TLogListWindow::ApplyOutcomeFilter(int comboIndex) {
    if (comboIndex >= 0 && comboIndex < static_cast<int>(OutcomeChoices.size())) {
        Refilter([this, comboIndex] {
            Filter_->SetOutcomeFilter(OutcomeChoices[static_cast<size_t>(comboIndex)].Outcome);
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
}

void TLogListWindow::SaveReport() {
    // The logs as the list shows them: in its order, through its filters.
    std::vector<TBatchInput> inputs;
    for (int row = 0; row < Filter_->rowCount(); ++row) {
        const QModelIndex source = Filter_->mapToSource(Filter_->index(row, 0));
        inputs.push_back({Model_->Row(source.row()).Path, std::nullopt});
    }
    if (inputs.empty()) {
        return;
    }
    const QString folder = Model_->Folder();
    QString path = ChooseReportFile(
        QDir(folder).filePath(QDir(folder).dirName() + QStringLiteral("-report.pdf")));
    if (path.isEmpty()) {
        return;
    }
    // A dialog that ignores the filter's suffix still gets a PDF file.
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".pdf");
    }
    QProgressDialog progress(QStringLiteral("Writing the report\u2026"), QStringLiteral("Cancel"),
                             0, static_cast<int>(2 * inputs.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    TDeliveryReportOptions options;
    options.Source = QDir::toNativeSeparators(folder);
    options.CheckedBy =
        QStringLiteral("NorvaViewer %1").arg(QCoreApplication::applicationVersion());
    options.When = QDateTime::currentDateTime();
    try {
        WriteDeliveryReport(path, inputs, options, [&progress](size_t done, size_t) {
            progress.setValue(static_cast<int>(done));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    } catch (const std::exception& error) {
        ShowError(QString::fromUtf8(error.what()));
    }
}
