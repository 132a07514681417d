#pragma once

#include <QString>
#include <QWidget>
#include <filesystem>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class TLogListFilter;
class TLogListModel;
class TReportJob;

// The log list: every .ktz file of a folder and below, checked in the background and kept up
// to date, sortable and filtered. Choosing a row (click, arrow keys, Enter) asks for that log
// to be shown in the main window; Step moves the choice as the main window's next/previous
// keys do. Closing the window stops the checks and any report being written.
class TLogListWindow : public QWidget {
    Q_OBJECT

  public:
    explicit TLogListWindow(QWidget* parent = nullptr);
    ~TLogListWindow() override;

    void OpenFolder(const std::filesystem::path& folder, unsigned jobs = 0);
    // Moves the current row by `delta` in the list's order and filter and shows that log;
    // false when there is no row that way.
    bool Step(int delta);
    // Makes the row of `path` current, if the list shows it, without asking to show it again.
    void FollowShownLog(const std::filesystem::path& path);
    // Asks where, checks that a file can be written there, and writes the report of the logs
    // the list shows in the background.
    void SaveReport();
    void CancelReport();
    bool WritingReport() const { return Report_ != nullptr; }

    TLogListModel& Model() { return *Model_; }
    TLogListFilter& Filter() { return *Filter_; }
    QTableView& Table() { return *Table_; }
    QComboBox& OutcomeFilter() { return *OutcomeCombo_; }
    QLineEdit& NameFilter() { return *NameEdit_; }
    QLabel& CountLabel() { return *Count_; }
    QLabel& ReportLabel() { return *ReportStatus_; }

    // Where the report goes (empty: cancelled), and how errors are shown; replaceable for tests.
    std::function<QString(const QString& suggested)> ChooseReportFile;
    std::function<void(const QString& message)> ShowError;

    // "34 of 330 logs shown, 330 checked" and the like.
    QString CountText() const;
    // What a report of the list as shown covers and in which order, for its summary.
    QString CoverageText() const;
    QString OrderText() const;

  signals:
    // The file system's bytes: a name need not be valid UTF-8.
    void LogChosen(const std::filesystem::path& path);
    // Ended in the background: error is empty when the report was written.
    void ReportEnded(bool cancelled, const QString& error);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void ChooseRow(const QModelIndex& index);
    void ShowProgress();
    void ApplyOutcomeFilter(int comboIndex);
    void Refilter(const std::function<void()>& change);
    void FitColumns();
    void StartReport(const QString& path);
    void ReportFinished(bool cancelled, const QString& error);

    TLogListModel* Model_;
    TLogListFilter* Filter_;
    QTableView* Table_;
    QLineEdit* NameEdit_;
    QComboBox* OutcomeCombo_;
    QProgressBar* Progress_;
    QLabel* Count_;
    QPushButton* SaveReport_;
    QProgressBar* ReportProgress_;
    QPushButton* CancelReport_;
    QLabel* ReportStatus_;
    TReportJob* Report_ = nullptr;  // a child: destroying the window ends its thread
    bool Refiltering_ = false;
    bool Following_ = false;
};

// The keys of the main window that step through the list, as the list window shows them.
QString LogListStepKeysText();
