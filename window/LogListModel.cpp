#include "window/LogListModel.h"

#include <QBrush>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <system_error>
#include <thread>

#include "app/CellCsv.h"
#include "app/PathText.h"
#include "batch/BatchInputs.h"
#include "drawing/BandImages.h"
#include "window/FolderWatcher.h"
#include "window/ThreadInbox.h"

namespace fs = std::filesystem;

namespace {

template <typename T>
int CompareOptional(const std::optional<T>& left, const std::optional<T>& right) {
    if (left.has_value() != right.has_value()) {
        return left.has_value() ? 1 : -1;  // what is not known yet comes first
    }
    if (!left || *left == *right) {
        return 0;
    }
    return *left < *right ? -1 : 1;
}

}  // namespace

TLogListModel::TLogListModel(QObject* parent)
    : QAbstractTableModel(parent),
      Collator_(NameCollator()),
      Watcher_(new TFolderWatcher(this)),
      Inbox_(new TThreadInbox(this)) {
    connect(Watcher_, &TFolderWatcher::Changed, this,
            [this](const std::set<std::string>& paths) { FilesChanged(paths); });
}

// The jobs are cancelled and joined here, before the model they post to is gone.
TLogListModel::~TLogListModel() {
    Stop();
    Jobs_.clear();
}

void TLogListModel::Stop() {
    for (const std::unique_ptr<TLogCheckJob>& job : Jobs_) {
        job->Cancel();
    }
    Watcher_->Clear();
    ++Generation_;
}

void TLogListModel::Open(const fs::path& folder, unsigned jobs) {
    Stop();
    ReleaseFinishedJobs();
    beginResetModel();
    Folder_ = folder;
    Rows_.clear();
    NameKeys_.clear();
    RowOf_.clear();
    Checked_ = 0;
    Listed_ = false;
    endResetModel();
    // The charts' shared images are loaded here, before any check thread draws with them.
    if (!BandImagesLoaded()) {
        LoadBandImages();
    }
    Threads_ = jobs != 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
    OpeningSerial_ = StartJob(TLogListing{folder, folder, true}, {});
}

uint64_t TLogListModel::StartJob(std::optional<TLogListing> listing,
                                 std::vector<TBatchInput> logs) {
    const uint64_t generation = Generation_;
    const uint64_t serial = ++Serial_;
    for (const TBatchInput& log : logs) {
        if (const int row = RowOf(log.Path); row >= 0) {
            Rows_[static_cast<size_t>(row)].CheckSerial = serial;
        }
    }
    TLogCheckJob::TCallbacks callbacks;
    // Called on the job's threads: each hands its part to this model's thread.
    callbacks.Listed = [this, generation, serial](TLogCheckJob::TListed listed) {
        Inbox_->Post([this, generation, serial, listed = std::move(listed)]() mutable {
            TakeListing(generation, serial, std::move(listed));
        });
    };
    callbacks.Checked = [this, generation](std::vector<TLogCheckResult> results) {
        Inbox_->Post(
            [this, generation, results = std::move(results)] { TakeResults(generation, results); });
    };
    callbacks.Done = [this, generation](std::optional<std::string> failure) {
        Inbox_->Post([this, generation, failure] { JobDone(generation, failure); });
    };
    Jobs_.push_back(std::make_unique<TLogCheckJob>(std::move(listing), std::move(logs), serial,
                                                   Threads_, std::move(callbacks)));
    return serial;
}

void TLogListModel::TakeListing(uint64_t generation, uint64_t serial,
                                TLogCheckJob::TListed listed) {
    if (generation != Generation_) {
        return;
    }
    for (const fs::path& folder : listed.Folders) {
        Watcher_->Watch(folder);
    }
    std::vector<TLogListRow> rows;
    std::vector<QCollatorSortKey> keys;
    for (size_t i = 0; i < listed.Rows.size(); ++i) {
        if (const int row = RowOf(listed.Rows[i].Path); row >= 0) {
            Rows_[static_cast<size_t>(row)].CheckSerial = serial;
        } else {
            rows.push_back(std::move(listed.Rows[i]));
            keys.push_back(std::move(listed.Keys[i]));
        }
    }
    if (listed.Complete && serial == OpeningSerial_) {
        Listed_ = true;
    }
    AddRows(std::move(rows), std::move(keys));
    ReportProgress();
}

void TLogListModel::AddRows(std::vector<TLogListRow> rows, std::vector<QCollatorSortKey> keys) {
    if (rows.empty()) {
        return;
    }
    const int first = static_cast<int>(Rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        RowOf_[rows[i].Path.native()] = static_cast<int>(Rows_.size());
        Rows_.push_back(std::move(rows[i]));
        NameKeys_.push_back(std::move(keys[i]));
    }
    endInsertRows();
}

void TLogListModel::TakeResults(uint64_t generation, const std::vector<TLogCheckResult>& results) {
    if (generation != Generation_) {
        return;
    }
    int first = rowCount();
    int last = -1;
    for (const TLogCheckResult& result : results) {
        const int index = RowOf(result.Path);
        if (index < 0) {
            continue;  // removed meanwhile
        }
        TLogListRow& row = Rows_[static_cast<size_t>(index)];
        if (row.CheckSerial != result.Serial) {
            continue;  // a later check of this file is under way
        }
        if (!row.Outcome) {
            ++Checked_;
        }
        const QString name = row.Name;
        const fs::path path = row.Path;
        row = result.Row;
        row.Path = path;
        row.Name = name;
        row.CheckSerial = result.Serial;
        first = std::min(first, index);
        last = std::max(last, index);
    }
    // A check never changes a name: the rows of a list sorted by name stay where they are.
    if (last >= 0) {
        emit dataChanged(index(first, ColVerdict), index(last, ColumnCount - 1));
    }
    ReportProgress();
}

void TLogListModel::JobDone(uint64_t generation, const std::optional<std::string>& failure) {
    ReleaseFinishedJobs();
    if (generation == Generation_ && failure) {
        emit CheckFailed(QString::fromStdString(*failure));
    }
}

void TLogListModel::ReportProgress() {
    emit ProgressChanged(Checked_, rowCount());
    if (Done()) {
        emit Finished();
    }
}

void TLogListModel::ReleaseFinishedJobs() {
    std::erase_if(Jobs_, [](const std::unique_ptr<TLogCheckJob>& job) { return job->Finished(); });
}

// Each path changed, appeared or went away: a log that is there is (re)checked, a folder that
// appeared is listed and watched, whatever is gone leaves the list with everything below it.
void TLogListModel::FilesChanged(const std::set<std::string>& paths) {
    std::vector<TBatchInput> recheck;
    std::vector<TLogListRow> added;
    std::vector<QCollatorSortKey> addedKeys;
    std::vector<int> gone;
    for (const std::string& changed : paths) {
        const fs::path path(changed);
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status)) {
            if (path != Folder_) {
                StartJob(TLogListing{path, Folder_, false}, {});
            }
            continue;
        }
        if (fs::exists(status)) {
            if (!HasLogExtension(path)) {
                continue;
            }
            if (RowOf(path) < 0) {
                added.push_back(NewLogListRow(path, Folder_, 0));
                addedKeys.push_back(Collator_.sortKey(added.back().Name));
            }
            recheck.push_back({path, std::nullopt});
            continue;
        }
        const std::string below = changed + '/';
        for (size_t r = 0; r < Rows_.size(); ++r) {
            const std::string& native = Rows_[r].Path.native();
            if (native == changed || native.starts_with(below)) {
                gone.push_back(static_cast<int>(r));
            }
        }
    }
    RemoveRows(gone);
    AddRows(std::move(added), std::move(addedKeys));
    for (const TBatchInput& log : recheck) {
        TLogListRow& row = Rows_[static_cast<size_t>(RowOf(log.Path))];
        if (row.Outcome) {
            --Checked_;
        }
        row = NewLogListRow(log.Path, Folder_, 0);
        const int index = RowOf(log.Path);
        emit dataChanged(this->index(index, ColVerdict), this->index(index, ColumnCount - 1));
    }
    if (!recheck.empty()) {
        StartJob(std::nullopt, std::move(recheck));
    }
    ReportProgress();
}

void TLogListModel::RemoveRows(std::vector<int> rows) {
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the end, in runs of neighbours, so that every index still holds while removing.
    for (size_t end = rows.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1) {
            --begin;
        }
        const int first = rows[begin];
        const int last = rows[end - 1];
        beginRemoveRows({}, first, last);
        for (int r = first; r <= last; ++r) {
            if (Rows_[static_cast<size_t>(r)].Outcome) {
                --Checked_;
            }
        }
        Rows_.erase(Rows_.begin() + first, Rows_.begin() + last + 1);
        NameKeys_.erase(NameKeys_.begin() + first, NameKeys_.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
    RowOf_.clear();
    for (size_t r = 0; r < Rows_.size(); ++r) {
        RowOf_[Rows_[r].Path.native()] = static_cast<int>(r);
    }
}

int TLogListModel::RowOf(const fs::path& path) const {
    const auto found = RowOf_.find(path.native());
    return found == RowOf_.end() ? -1 : found->second;
}

int TLogListModel::CompareNames(int left, int right) const {
    return NameKeys_.at(static_cast<size_t>(left))
        .compare(NameKeys_.at(static_cast<size_t>(right)));
}

size_t TLogListModel::WatchCount() const {
    return Watcher_->WatchCount();
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
    // A screen reader reads the current cell: the name says the outcome as well.
    if (role == Qt::AccessibleTextRole && column == ColName) {
        return QStringLiteral("%1, %2").arg(
            row.Name, row.Outcome ? row.OutcomeText : QStringLiteral("not checked yet"));
    }
    if (role == Qt::ToolTipRole) {
        if (column == ColName) {
            return DisplayPathText(row.Path);
        }
        if (column == ColVerdict) {
            return row.LikelyCause.isEmpty()
                       ? row.OutcomeText
                       : row.OutcomeText + QLatin1Char('\n') + row.LikelyCause;
        }
        return {};
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
    setDynamicSortFilter(true);
}

const TLogListModel& TLogListFilter::Logs() const {
    return static_cast<const TLogListModel&>(*sourceModel());
}

// The whole mapping is made anew in one step: invalidating the filter alone would hide the
// rows range by range, one signal and one view update each, which takes seconds in a long
// list whose hidden rows are scattered.
void TLogListFilter::SetOutcomeFilter(TOutcomeChoice choice) {
    Outcome_ = choice;
    invalidate();
}

void TLogListFilter::SetNameFilter(const QString& text) {
    Name_ = text;
    invalidate();
}

bool TLogListFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const TLogListRow& row = Logs().Row(sourceRow);
    if (!Name_.isEmpty() && !row.Name.contains(Name_, Qt::CaseInsensitive)) {
        return false;
    }
    if (Outcome_.Problems) {
        return row.Outcome && *row.Outcome != TCheckOutcome::Ok;
    }
    if (Outcome_.HarmlessChange) {
        return row.HarmlessChange;
    }
    return !Outcome_.Only || row.Outcome == Outcome_.Only;
}

bool TLogListFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const TLogListRow& a = Logs().Row(left.row());
    const TLogListRow& b = Logs().Row(right.row());
    int order = 0;
    switch (left.column()) {
        case TLogListModel::ColVerdict:
            order = CompareOptional(a.Outcome, b.Outcome);
            break;
        case TLogListModel::ColVersion:
            order = CompareOptional(a.SoftwareVersion, b.SoftwareVersion);
            break;
        case TLogListModel::ColFirstRecord:
            order = CompareOptional(a.FirstRecord, b.FirstRecord);
            break;
        case TLogListModel::ColSize:
            order = CompareOptional(a.Size, b.Size);
            break;
        default:
            break;
    }
    // Equal values go by their names.
    return order != 0 ? order < 0 : Logs().CompareNames(left.row(), right.row()) < 0;
}
