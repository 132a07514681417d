#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QSortFilterProxyModel>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "window/LogCheckJob.h"
#include "window/LogListRow.h"

class TFolderWatcher;
class TThreadInbox;

// The logs of a folder and every folder below it, checked in the background on every core,
// and kept up to date while files below the folder are added, written, renamed or removed.
// Each opening and each recheck is a job of its own; a result is taken only by the row of its
// path that still waits for that very check, so nothing of an earlier folder or an earlier
// version of a file can land in a row. Opening another folder, Stop and destruction cancel the
// jobs without waiting for the files being checked; finished jobs are released later.
class TLogListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn { ColName, ColVerdict, ColVersion, ColFirstRecord, ColSize, ColumnCount };
    static constexpr int OutcomeRole = Qt::UserRole + 1;  // int of TCheckOutcome, or invalid

    explicit TLogListModel(QObject* parent = nullptr);
    ~TLogListModel() override;

    // Forgets any earlier folder and starts listing and checking this one; jobs 0 means one
    // thread per processor.
    void Open(const std::filesystem::path& folder, unsigned jobs = 0);
    void Stop();

    const std::filesystem::path& Folder() const { return Folder_; }
    bool Listed() const { return Listed_; }
    // Every row has its result and no check is running.
    bool Done() const { return Listed_ && Checked_ == static_cast<int>(Rows_.size()); }
    int CheckedCount() const { return Checked_; }
    const TLogListRow& Row(int row) const { return Rows_.at(static_cast<size_t>(row)); }
    const std::vector<TLogListRow>& Rows() const { return Rows_; }
    // The row of a path, or -1.
    int RowOf(const std::filesystem::path& path) const;
    // Compares two rows' names as a file manager sorts them.
    int CompareNames(int left, int right) const;
    // Jobs still holding threads (cancelled ones included), for tests and shutdown.
    size_t JobCount() const { return Jobs_.size(); }
    size_t WatchCount() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void ProgressChanged(int checked, int total);
    // Every row checked: after the opening's checks, and again after each recheck.
    void Finished();
    // A check job stopped on an error of its own (not a file's: those are the file's outcome).
    void CheckFailed(const QString& message);

  private:
    uint64_t StartJob(std::optional<TLogListing> listing, std::vector<TBatchInput> logs);
    void TakeListing(uint64_t generation, uint64_t serial, TLogCheckJob::TListed listed);
    void TakeResults(uint64_t generation, const std::vector<TLogCheckResult>& results);
    void JobDone(uint64_t generation, const std::optional<std::string>& failure);
    void FilesChanged(const std::set<std::string>& paths);
    void AddRows(std::vector<TLogListRow> rows, std::vector<QCollatorSortKey> keys);
    void RemoveRows(std::vector<int> rows);
    void ReleaseFinishedJobs();
    void ReportProgress();

    std::filesystem::path Folder_;
    unsigned Threads_ = 1;
    uint64_t Generation_ = 0;  // of the opening
    uint64_t Serial_ = 0;      // of the checks
    uint64_t OpeningSerial_ = 0;
    std::vector<TLogListRow> Rows_;
    std::vector<QCollatorSortKey> NameKeys_;
    std::unordered_map<std::string, int> RowOf_;
    int Checked_ = 0;
    bool Listed_ = false;
    QCollator Collator_;
    std::vector<std::unique_ptr<TLogCheckJob>> Jobs_;
    TFolderWatcher* Watcher_;
    TThreadInbox* Inbox_;  // the jobs' results come through it; a child, so it outlives them
};

// The list as the window shows it: filtered by outcome and by a text in the name, sortable by
// any column (names as a file manager sorts them, sizes by bytes, times by time).
class TLogListFilter : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    // What the outcome filter lets through.
    struct TOutcomeChoice {
        std::optional<TCheckOutcome> Only;  // nothing: every outcome
        bool Problems = false;              // everything but OK
        bool HarmlessChange = false;        // only logs a known harmless change explains
    };

    explicit TLogListFilter(QObject* parent = nullptr);

    void SetOutcomeFilter(TOutcomeChoice choice);
    void SetNameFilter(const QString& text);
    bool Filtering() const {
        return Outcome_.Only || Outcome_.Problems || Outcome_.HarmlessChange || !Name_.isEmpty();
    }

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

  private:
    const TLogListModel& Logs() const;

    TOutcomeChoice Outcome_;
    QString Name_;
};
