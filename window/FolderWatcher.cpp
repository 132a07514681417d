#include "window/FolderWatcher.h"

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <cstring>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr uint32_t WatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                   IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_DELETE_SELF |
                                   IN_ONLYDIR;
// A log being written changes many times in a burst: it is checked once it is quiet.
constexpr int QuietMilliseconds = 700;

}  // namespace

TFolderWatcher::TFolderWatcher(QObject* parent) : QObject(parent) {
    Descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (Descriptor_ >= 0) {
        Notifier_ = new QSocketNotifier(Descriptor_, QSocketNotifier::Read, this);
        connect(Notifier_, &QSocketNotifier::activated, this, [this] { ReadEvents(); });
    }
    Quiet_.setSingleShot(true);
    Quiet_.setInterval(QuietMilliseconds);
    connect(&Quiet_, &QTimer::timeout, this, [this] {
        std::set<std::string> paths;
        paths.swap(Pending_);
        if (!paths.empty()) {
            emit Changed(paths);
        }
    });
}

TFolderWatcher::~TFolderWatcher() {
    if (Descriptor_ >= 0) {
        delete Notifier_;
        ::close(Descriptor_);
    }
}

void TFolderWatcher::Clear() {
    for (const auto& [watch, folder] : Folders_) {
        ::inotify_rm_watch(Descriptor_, watch);
    }
    Folders_.clear();
    Pending_.clear();
    Quiet_.stop();
}

void TFolderWatcher::Watch(const std::filesystem::path& folder) {
    if (Descriptor_ < 0) {
        return;
    }
    const int watch = ::inotify_add_watch(Descriptor_, folder.c_str(), WatchedEvents);
    if (watch >= 0) {
        Folders_[watch] = folder.native();
    }
}

void TFolderWatcher::ReadEvents() {
    alignas(inotify_event) std::array<char, 64 * 1024> buffer;
    while (true) {
        const ssize_t length = ::read(Descriptor_, buffer.data(), buffer.size());
        if (length <= 0) {
            break;
        }
        for (ssize_t at = 0; at < length;) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof event);
            const char* name = buffer.data() + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            const auto folder = Folders_.find(event.wd);
            if (folder == Folders_.end()) {
                continue;
            }
            if ((event.mask & IN_IGNORED) != 0) {
                Folders_.erase(folder);
                continue;
            }
            Pending_.insert(event.len > 0 && name[0] != '\0' ? folder->second + '/' + name
                                                             : folder->second);
        }
    }
    // Not restarted by later events: a folder that never rests is still reported.
    if (!Pending_.empty() && !Quiet_.isActive()) {
        Quiet_.start();
    }
}
