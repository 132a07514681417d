#include "window/ThreadInbox.h"

#include <QPointer>

TThreadInbox::TThreadInbox(QObject* parent) : QObject(parent) {
    connect(this, &TThreadInbox::Posted, this, &TThreadInbox::RunWaiting, Qt::QueuedConnection);
}

void TThreadInbox::Post(std::function<void()> call) {
    bool wasEmpty = false;
    {
        const std::lock_guard lock(Mutex_);
        wasEmpty = Waiting_.empty();
        Waiting_.push_back(std::move(call));
    }
    // One wake-up serves everything that gathers before it is served.
    if (wasEmpty) {
        emit Posted();
    }
}

void TThreadInbox::RunWaiting() {
    std::vector<std::function<void()>> calls;
    {
        const std::lock_guard lock(Mutex_);
        calls.swap(Waiting_);
    }
    // A call may end the inbox's owner, and the inbox with it.
    const QPointer<TThreadInbox> alive(this);
    for (std::function<void()>& call : calls) {
        if (!alive) {
            return;
        }
        call();
    }
}
