#pragma once

#include <QObject>
#include <functional>
#include <mutex>
#include <vector>

// Runs functions handed over from other threads on the thread this object lives on, in the
// order they were handed over. They wait here under a mutex of this object's own rather than
// inside queued Qt calls: that orders the hand-over for ThreadSanitizer too, which cannot see
// the locks within Qt's event queue. Post may be called from any thread while the inbox
// lives; what still waits when it goes is dropped.
class TThreadInbox : public QObject {
    Q_OBJECT

  public:
    explicit TThreadInbox(QObject* parent = nullptr);

    void Post(std::function<void()> call);

  signals:
    void Posted();  // emitted on the posting thread, served on this object's thread

  private:
    void RunWaiting();

    std::mutex Mutex_;
    std::vector<std::function<void()>> Waiting_;
};
