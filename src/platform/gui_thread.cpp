#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace platform {

namespace {

// Calls from worker threads travel through this queue, guarded by a standard mutex, and
// Qt only carries a member-less wake-up to the GUI thread. Handing the call objects over
// inside Qt's own event queue would also work, but then the only ordering between the
// worker that built a call and the GUI thread that runs and frees it is Qt's internal
// locking, which race detectors cannot see into; with the mutex the hand-off is explicit.
class GuiCallRelay : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void RunOne() {
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (pending_.empty()) return;
            call = std::move(pending_.front());
            pending_.pop_front();
        }
        call();
    }
    Q_INVOKABLE void Wake() {}

    void Push(std::function<void()> call) {
        std::lock_guard<std::mutex> g(lock_);
        pending_.push_back(std::move(call));
    }

private:
    std::mutex lock_;
    std::deque<std::function<void()>> pending_;
};

std::mutex relayLock;
QPointer<QCoreApplication> relayApp;
GuiCallRelay* relay = nullptr;

// The relay of the running application, made on first use and owned by it.
GuiCallRelay* Relay() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return nullptr;
    std::lock_guard<std::mutex> g(relayLock);
    if (relay == nullptr || relayApp.data() != app) {
        relay = new GuiCallRelay;
        if (relay->thread() != app->thread()) relay->moveToThread(app->thread());
        relayApp = app;
        QObject::connect(app, &QObject::destroyed, [] {
            std::lock_guard<std::mutex> g2(relayLock);
            delete relay;
            relay = nullptr;
        });
    }
    return relay;
}

}  // namespace

bool IsGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void PostToGui(std::function<void()> call) {
    GuiCallRelay* r = Relay();
    if (r == nullptr) return;  // no event loop: nothing could ever deliver it
    r->Push(std::move(call));
    // One wake-up per call, queued behind the events already pending, so calls keep their
    // order among themselves and relative to what was queued before them.
    QMetaObject::invokeMethod(r, "RunOne", Qt::QueuedConnection);
}

void WakeGuiThread() {
    GuiCallRelay* r = Relay();
    if (r != nullptr) QMetaObject::invokeMethod(r, "Wake", Qt::QueuedConnection);
}

namespace {
struct SendState {
    std::mutex lock;
    std::condition_variable finished;
    bool started = false;
    bool done = false;
    bool abandoned = false;
};
}  // namespace

bool SendToGui(std::function<void()> call, int timeoutMs) {
    if (IsGuiThread()) {
        call();
        return true;
    }
    if (QCoreApplication::instance() == nullptr) return false;
    auto state = std::make_shared<SendState>();
    PostToGui([state, call = std::move(call)] {
        {
            std::lock_guard<std::mutex> g(state->lock);
            if (state->abandoned) return;
            state->started = true;
        }
        call();
        {
            std::lock_guard<std::mutex> g(state->lock);
            state->done = true;
        }
        state->finished.notify_all();
    });
    std::unique_lock<std::mutex> g(state->lock);
    if (state->finished.wait_for(g, std::chrono::milliseconds(timeoutMs),
                                 [&] { return state->done; })) {
        return true;
    }
    if (!state->started) state->abandoned = true;
    return false;
}

}  // namespace platform

#include "gui_thread.moc"
