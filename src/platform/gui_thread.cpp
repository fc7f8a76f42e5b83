#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/gui_call_relay.h"

namespace platform {

bool IsGuiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void PostToGui(std::function<void()> call) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;  // no event loop: nothing could ever deliver it
    if (IsGuiThread()) {
        // Same thread: Qt's queue keeps the call behind the events already pending.
        QMetaObject::invokeMethod(app, std::move(call), Qt::QueuedConnection);
        return;
    }
    RelayToGui(std::move(call));
}

void WakeGuiThread() {
    PostToGui([] {});
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
