#include "window/LoadWait.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include "window/LoadJob.h"

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::InputMethod:
            return true;
        default:
            return false;
    }
}

class TInputHold : public QObject {
  public:
    TInputHold(QWidget& window, QEventLoop& loop) : Window_(window), Loop_(loop) {
        qApp->installEventFilter(this);
    }
    ~TInputHold() override { qApp->removeEventFilter(this); }
    TInputHold(const TInputHold&) = delete;
    TInputHold& operator=(const TInputHold&) = delete;

    TLoadWaitEnd End() const { return End_; }

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::Close && target == &Window_) {
            GiveUp(TLoadWaitEnd::WindowClosing);
            event->ignore();
            return true;
        }
        if (!IsUserInput(event->type())) {
            return false;
        }
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
                GiveUp(TLoadWaitEnd::Cancelled);
            }
        }
        return true;
    }

  private:
    void GiveUp(TLoadWaitEnd end) {
        if (End_ == TLoadWaitEnd::Ended) {
            End_ = end;
        }
        Loop_.quit();
    }

    QWidget& Window_;
    QEventLoop& Loop_;
    TLoadWaitEnd End_ = TLoadWaitEnd::Ended;
};

}  // namespace

TLoadWaitEnd WaitForLoad(TLoadJob& job, QWidget& window,
                         const std::function<void(double done)>& showProgress) {
    QEventLoop loop;
    const TInputHold hold(window, loop);
    QObject::connect(&job, &TLoadJob::Ended, &loop, &QEventLoop::quit);
    QTimer progress;
    progress.setInterval(100);
    QObject::connect(&progress, &QTimer::timeout, [&] { showProgress(job.Done()); });
    // Run even for a job that already finished, until its Ended arrives: input that came
    // during a load is dropped however short the load was.
    showProgress(0);
    progress.start();
    loop.exec();
    if (hold.End() == TLoadWaitEnd::Ended && !job.Finished()) {
        // Quit from elsewhere (the application ending): the load is given up too.
        return TLoadWaitEnd::Cancelled;
    }
    return hold.End();
}
