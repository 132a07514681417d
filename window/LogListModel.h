#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <QString>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "batch/LogCheck.h"

// One log of the list: known once it is checked.
struct TLogListRow {
    std::filesystem::path Path;
    QString Name;  // the path below the folder, as the list shows it
    std::optional<TCheckOutcome> Outcome;
    QString OutcomeText;
    std::optional<int32_t> SoftwareVersion;
    std::optional<TDateTime> FirstRecord;
    std::optional<std::uintmax_t> Size;
};

// The logs of a folder and every folder below it, checked in the background on every core.
// The listing and the checks run on threads of their own; their results arrive through the
// event loop, so the model is only ever changed on its own thread. Destroying the model (or
// Stop) ends the work.
class TLogListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum TColumn { ColName, ColVerdict, ColVersion, ColFirstRecord, ColSize, ColumnCount };
    // Sort keys: numbers for the numeric columns, the outcome's order for the verdict.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int OutcomeRole = Qt::UserRole + 1;  // int of TCheckOutcome, or invalid

    explicit TLogListModel(QObject* parent = nullptr);
    ~TLogListModel() override;

    // Forgets any earlier folder and starts listing and checking this one; jobs 0 means one
    // thread per processor.
    void Open(const QString& folder, unsigned jobs = 0);
    void Stop();

    const QString& Folder() const { return Folder_; }
    bool Listed() const { return Listed_; }
    bool Done() const { return Done_; }
    int CheckedCount() const { return Checked_; }
    const TLogListRow& Row(int row) const { return Rows_.at(static_cast<size_t>(row)); }
    const std::vector<TLogListRow>& Rows() const { return Rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void ProgressChanged(int checked, int total);
    void Finished();

  private:
    struct TChecked {
        size_t Index;
        TLogListRow Row;
    };
    void TakeListing(std::vector<TLogListRow> rows);
    void TakeResults(const std::vector<TChecked>& results);
    void Finish();

    QString Folder_;
    std::vector<TLogListRow> Rows_;
    int Checked_ = 0;
    bool Listed_ = false;
    bool Done_ = false;
    std::shared_ptr<std::atomic<bool>> Stop_;
    std::thread Worker_;
};

// The list as the window shows it: filtered by outcome and by a text in the name, sortable by
// any column.
class TLogListFilter : public QSortFilterProxyModel {
    Q_OBJECT

  public:
    explicit TLogListFilter(QObject* parent = nullptr);

    // Only logs of this outcome; nothing for every log.
    void SetOutcomeFilter(std::optional<TCheckOutcome> outcome);
    void SetNameFilter(const QString& text);

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    std::optional<TCheckOutcome> Outcome_;
    QString Name_;
};
