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

// The log list: every .ktz file of a folder and below, checked in the background, sortable
// and filtered. Choosing a row (click, arrow keys, Enter) asks for that log to be shown in the
// main window; Step moves the choice as the main window's next/previous keys do. Closing the
// window stops the checks.
class TLogListWindow : public QWidget {
    Q_OBJECT

  public:
    explicit TLogListWindow(QWidget* parent = nullptr);
    ~TLogListWindow() override;

    void OpenFolder(const QString& folder, unsigned jobs = 0);
    // Moves the current row by `delta` in the list's order and filter and shows that log;
    // false when there is no row that way.
    bool Step(int delta);
    void SaveReport();

    TLogListModel& Model() { return *Model_; }
    TLogListFilter& Filter() { return *Filter_; }
    QTableView& Table() { return *Table_; }
    QComboBox& OutcomeFilter() { return *OutcomeCombo_; }
    QLineEdit& NameFilter() { return *NameEdit_; }
    QLabel& CountLabel() { return *Count_; }

    // Where the report goes (empty: cancelled), and how errors are shown; replaceable for tests.
    std::function<QString(const QString& suggested)> ChooseReportFile;
    std::function<void(const QString& message)> ShowError;

  signals:
    // The file system's bytes: a name need not be valid UTF-8.
    void LogChosen(const std::filesystem::path& path);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void ChooseRow(const QModelIndex& index);
    void ShowProgress(int checked, int total);
    void ApplyOutcomeFilter(int comboIndex);
    void Refilter(const std::function<void()>& change);

    TLogListModel* Model_;
    TLogListFilter* Filter_;
    QTableView* Table_;
    QLineEdit* NameEdit_;
    QComboBox* OutcomeCombo_;
    QProgressBar* Progress_;
    QLabel* Count_;
    QPushButton* SaveReport_;
    bool Refiltering_ = false;
};

// The keys of the main window that step through the list, as the list window shows them.
QString LogListStepKeysText();
