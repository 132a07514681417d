#include "window/ReportJob.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <chrono>
#include <exception>

TReportJob::TReportJob(QString path, std::vector<TReportLog> logs, TDeliveryReportOptions options,
                       QObject* parent)
    : QObject(parent), Path_(std::move(path)), Inbox_(new TThreadInbox(this)) {
    Thread_ = std::thread([this, logs = std::move(logs), options = std::move(options)] {
        using TClock = std::chrono::steady_clock;
        auto lastShown = TClock::now();
        bool cancelled = false;
        QString error;
        try {
            cancelled = !WriteDeliveryReport(Path_, logs, options, [&](size_t done, size_t total) {
                if (TClock::now() - lastShown > std::chrono::milliseconds(50) || done == total) {
                    lastShown = TClock::now();
                    Inbox_->Post([this, done, total] {
                        emit Progress(static_cast<int>(done), static_cast<int>(total));
                    });
                }
                return !Cancel_->load();
            });
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        } catch (...) {
            error = QStringLiteral("The report could not be written.");
        }
        Inbox_->Post([this, cancelled, error] { emit Ended(cancelled, error); });
    });
}

TReportJob::~TReportJob() {
    Cancel();
    if (Thread_.joinable()) {
        Thread_.join();
    }
}

QString ReportFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        return QStringLiteral("The file %1 could not be written: it is a folder.").arg(path);
    }
    // The report is written under a temporary name beside its place and renamed: the folder
    // must take a new file, whatever the file itself allows.
    QTemporaryFile probe(QDir(info.absolutePath()).filePath(QStringLiteral(".norva-XXXXXX")));
    if (!probe.open()) {
        return QStringLiteral("The file %1 could not be written: %2")
            .arg(path, probe.errorString());
    }
    if (info.exists() && !info.isWritable()) {
        return QStringLiteral("The file %1 could not be written: it is read-only.").arg(path);
    }
    return {};
}
