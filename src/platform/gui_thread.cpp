#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace platform {

namespace {

// Calls from other threads travel through this queue, guarded by a standard mutex, and the
// GUI thread is woken through an eventfd watched by a socket notifier. Qt's own posting is
// not used for them: its event objects are allocated on the posting thread and freed on
// the GUI thread with only Qt's internal locking in between, which race detectors cannot
// see into. Here every hand-over is a mutex or a read and write of a descriptor.
class GuiCallRelay : public QObject {
    Q_OBJECT
public:
    explicit GuiCallRelay(QObject* parent) : QObject(parent) {
        wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { RunOne(); });
    }
    ~GuiCallRelay() override {
        delete notifier_;
        ::close(wakeFd_);
    }

    void Push(std::function<void()> call) {
        {
            std::lock_guard<std::mutex> g(lock_);
            pending_.push_back(std::move(call));
        }
        Signal();
    }
    void Signal() {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }

private:
    // One call per activation, re-arming the descriptor while more wait: a call that runs
    // a nested event loop (a message box, a wait) still lets the next calls through.
    void RunOne() {
        std::uint64_t value;
        [[maybe_unused]] ssize_t n = ::read(wakeFd_, &value, sizeof value);
        std::function<void()> call;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (pending_.empty()) return;
            call = std::move(pending_.front());
            pending_.pop_front();
            if (!pending_.empty()) Signal();
        }
        call();
    }

    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::mutex lock_;
    std::deque<std::function<void()>> pending_;
};

std::mutex relayLock;
GuiCallRelay* relay = nullptr;

// Made on the GUI thread as the application starts, owned by it.
void CreateRelay() {
    QCoreApplication* app = QCoreApplication::instance();
    std::lock_guard<std::mutex> g(relayLock);
    relay = new GuiCallRelay(app);
    QObject::connect(app, &QObject::destroyed, [] {
        std::lock_guard<std::mutex> g2(relayLock);
        relay = nullptr;
    });
}

GuiCallRelay* Relay() {
    std::lock_guard<std::mutex> g(relayLock);
    return relay;
}

}  // namespace

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
    if (GuiCallRelay* r = Relay()) r->Push(std::move(call));
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

namespace {
void CreateGuiCallRelay() { platform::CreateRelay(); }
}  // namespace
Q_COREAPP_STARTUP_FUNCTION(CreateGuiCallRelay)

#include "gui_thread.moc"
