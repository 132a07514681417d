#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "report/DeliveryReport.h"
#include "window/ThreadInbox.h"

// Writes one PDF report on a thread of its own. Progress and the end arrive as signals on the
// owner's thread; Cancel() returns at once, and a cancelled report leaves no file.
class TReportJob : public QObject {
    Q_OBJECT

  public:
    TReportJob(QString path, std::vector<TReportLog> logs, TDeliveryReportOptions options,
               QObject* parent = nullptr);
    ~TReportJob() override;  // cancels, and waits for the page being drawn

    void Cancel() { Cancel_->store(true); }
    const QString& Path() const { return Path_; }

  signals:
    void Progress(int done, int total);
    // error is empty when the report was written; cancelled reports end with cancelled true.
    void Ended(bool cancelled, const QString& error);

  private:
    QString Path_;
    TThreadInbox*
        Inbox_;  // progress and the end come through it; a child, so it outlives the thread
    std::shared_ptr<std::atomic<bool>> Cancel_ = std::make_shared<std::atomic<bool>>(false);
    std::thread Thread_;
};

// Whether a file can be created at `path`; the reason when not. Asked before anything is
// drawn, so that a read-only folder is told at once.
QString ReportFileProblem(const QString& path);
