#include "window/LogListModel.h"

#include <QBrush>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMetaObject>
#include <QPointer>
#include <chrono>

#include "app/CellCsv.h"
#include "batch/BatchInputs.h"
#include "batch/BatchRun.h"
#include "drawing/BandImages.h"

namespace {

QString PathText(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

TLogListRow CheckedRow(const TFileReport& report) {
    TLogListRow row;
    row.Outcome = OutcomeOf(report);
    row.OutcomeText = QString::fromStdString(OutcomeText(report));
    if (!report.Error) {
        row.SoftwareVersion = report.State.SoftwareVersion;
    }
    row.FirstRecord = FirstRecordTime(report);
    row.Size = report.Size;
    return row;
}

}  // namespace

TLogListModel::TLogListModel(QObject* parent) : QAbstractTableModel(parent) {}

TLogListModel::~TLogListModel() {
    Stop();
}

void TLogListModel::Stop() {
    if (Stop_) {
        Stop_->store(true);
    }
    if (Worker_.joinable()) {
        Worker_.join();
    }
}

void TLogListModel::Open(const QString& folder, unsigned jobs) {
    Stop();
    beginResetModel();
    Folder_ = folder;
    Rows_.clear();
    Checked_ = 0;
    Listed_ = false;
    Done_ = false;
    endResetModel();
    // The charts' shared images are loaded here, before any check thread draws with them.
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    if (jobs == 0) {
        jobs = std::max(1u, std::thread::hardware_concurrency());
    }
    Stop_ = std::make_shared<std::atomic<bool>>(false);
    const std::shared_ptr<std::atomic<bool>> stop = Stop_;
    const std::string root = QFile::encodeName(folder).toStdString();
    Worker_ = std::thread([this, stop, root, jobs] {
        TBatchInputSource source({root}, true);
        std::vector<TBatchInput> inputs;
        std::vector<TLogListRow> rows;
        const QDir base(PathText(root));
        while (!stop->load()) {
            std::optional<TBatchInput> input = source.Next();
            if (!input) {
                break;
            }
            TLogListRow row;
            row.Path = input->Path;
            row.Name = input->Path == root ? PathText(input->Path)
                                           : base.relativeFilePath(PathText(input->Path));
            rows.push_back(std::move(row));
            inputs.push_back(std::move(*input));
        }
        if (stop->load()) {
            return;
        }
        QMetaObject::invokeMethod(
            this, [this, rows = std::move(rows)]() mutable { TakeListing(std::move(rows)); },
            Qt::QueuedConnection);
        // Results go to the list in small groups: one event per log would flood the event loop
        // with a folder of a million of them.
        using TClock = std::chrono::steady_clock;
        std::vector<TChecked> pending;
        auto lastSent = TClock::now();
        const auto send = [&] {
            if (!pending.empty()) {
                QMetaObject::invokeMethod(
                    this, [this, results = std::move(pending)] { TakeResults(results); },
                    Qt::QueuedConnection);
                pending.clear();
            }
            lastSent = TClock::now();
        };
        size_t next = 0;
        RunInOrder<size_t, TChecked>(
            jobs, ReorderWindow(jobs),
            [&]() -> std::optional<size_t> {
                return next < inputs.size() ? std::optional(next++) : std::nullopt;
            },
            [&](size_t& i) {
                return TChecked{i, CheckedRow(CheckLogFile(inputs[i]))};
            },
            [&](TChecked& checked) {
                pending.push_back(std::move(checked));
                if (pending.size() >= 256 ||
                    TClock::now() - lastSent > std::chrono::milliseconds(100)) {
                    send();
                }
            },
            [&](size_t) {
                if (TClock::now() - lastSent > std::chrono::milliseconds(100)) {
                    send();
                }
            },
            stop.get());
        if (!stop->load()) {
            send();
            QMetaObject::invokeMethod(
                this, [this] { Finish(); }, Qt::QueuedConnection);
        }
    });
}

void TLogListModel::TakeListing(std::vector<TLogListRow> rows) {
    if (rows.empty()) {
        Listed_ = true;
        return;
    }
    beginInsertRows({}, 0, static_cast<int>(rows.size()) - 1);
    Rows_ = std::move(rows);
    Listed_ = true;
    endInsertRows();
    emit ProgressChanged(Checked_, rowCount());
}

void TLogListModel::TakeResults(const std::vector<TChecked>& results) {
    for (const TChecked& checked : results) {
        TLogListRow& row = Rows_.at(checked.Index);
        const std::filesystem::path path = std::move(row.Path);
        const QString name = std::move(row.Name);
        row = checked.Row;
        row.Path = path;
        row.Name = name;
        ++Checked_;
    }
    if (!results.empty()) {
        // Results come in list order: one change notice covers the group.
        emit dataChanged(index(static_cast<int>(results.front().Index), 0),
                         index(static_cast<int>(results.back().Index), ColumnCount - 1));
    }
    emit ProgressChanged(Checked_, rowCount());
}

void TLogListModel::Finish() {
    Done_ = true;
    emit ProgressChanged(Checked_, rowCount());
    emit Finished();
}

int TLogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(Rows_.size());
}

int TLogListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLogListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const TLogListRow& row = Rows_[static_cast<size_t>(index.row())];
    const int column = index.column();
    if (role == OutcomeRole) {
        return row.Outcome ? QVariant(static_cast<int>(*row.Outcome)) : QVariant();
    }
    if (role == Qt::BackgroundRole && column == ColVerdict && row.Outcome) {
        return QBrush(QColor(OutcomeColor(*row.Outcome)));
    }
    if (role == Qt::ForegroundRole && column == ColVerdict && row.Outcome) {
        return QBrush(Qt::black);  // the verdict colours are light whatever the theme
    }
    if (role == Qt::TextAlignmentRole && (column == ColVersion || column == ColSize)) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole && column == ColName) {
        return PathText(row.Path);
    }
    if (role == SortRole) {
        switch (column) {
            case ColName:
                return row.Name;
            case ColVerdict:
                return row.Outcome ? static_cast<int>(*row.Outcome) : -1;
            case ColVersion:
                return row.SoftwareVersion ? *row.SoftwareVersion : -1;
            case ColFirstRecord:
                return row.FirstRecord ? *row.FirstRecord : -1e300;
            case ColSize:
                return row.Size ? static_cast<qulonglong>(*row.Size) : qulonglong{0};
            default:
                return {};
        }
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (column) {
        case ColName:
            return row.Name;
        case ColVerdict:
            return row.Outcome ? row.OutcomeText : QStringLiteral("\u2026");
        case ColVersion:
            return row.SoftwareVersion ? QVariant(*row.SoftwareVersion) : QVariant();
        case ColFirstRecord:
            return row.FirstRecord
                       ? QString::fromStdString(IsoTimeText(*row.FirstRecord)).replace('T', ' ')
                       : QString();
        case ColSize:
            return row.Size ? QLocale().formattedDataSize(static_cast<qint64>(*row.Size))
                            : QString();
        default:
            return {};
    }
}

QVariant TLogListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case ColName:
            return QStringLiteral("File");
        case ColVerdict:
            return QStringLiteral("Verdict");
        case ColVersion:
            return QStringLiteral("Version");
        case ColFirstRecord:
            return QStringLiteral("First record");
        case ColSize:
            return QStringLiteral("Size");
        default:
            return {};
    }
}

TLogListFilter::TLogListFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(TLogListModel::SortRole);
    setDynamicSortFilter(true);
    setSortLocaleAware(true);
}

void TLogListFilter::SetOutcomeFilter(std::optional<TCheckOutcome> outcome) {
    Outcome_ = outcome;
    invalidateFilter();
}

void TLogListFilter::SetNameFilter(const QString& text) {
    Name_ = text;
    invalidateFilter();
}

bool TLogListFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const QModelIndex name = sourceModel()->index(sourceRow, TLogListModel::ColName, sourceParent);
    if (!Name_.isEmpty() && !name.data().toString().contains(Name_, Qt::CaseInsensitive)) {
        return false;
    }
    if (!Outcome_) {
        return true;
    }
    const QVariant outcome = name.data(TLogListModel::OutcomeRole);
    return outcome.isValid() && outcome.toInt() == static_cast<int>(*Outcome_);
}
