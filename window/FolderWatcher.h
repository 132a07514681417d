#pragma once

#include <QObject>
#include <QTimer>
#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>

class QSocketNotifier;

// Tells which files below a set of folders were created, written, renamed or removed. One
// inotify watch per folder, not per file: the kernel names the file of every event in a
// watched folder, so a tree of 100,000 logs in a thousand folders costs a thousand watches.
// (QFileSystemWatcher's folder watch does not report writes to the files in it, and a watch
// per file would cost one per log.) Changes are gathered for a moment and reported together.
class TFolderWatcher : public QObject {
    Q_OBJECT

  public:
    explicit TFolderWatcher(QObject* parent = nullptr);
    ~TFolderWatcher() override;

    void Clear();
    // Watches `folder` itself (not the folders below it; add those too).
    void Watch(const std::filesystem::path& folder);
    size_t WatchCount() const { return Folders_.size(); }

  signals:
    // Paths whose file changed, appeared or went away; folders that appeared or went away
    // are among them. The receiver looks at each to see which.
    void Changed(const std::set<std::string>& paths);

  private:
    void ReadEvents();

    int Descriptor_ = -1;
    QSocketNotifier* Notifier_ = nullptr;
    std::unordered_map<int, std::string> Folders_;  // watch -> folder
    std::set<std::string> Pending_;
    QTimer Quiet_;
};
