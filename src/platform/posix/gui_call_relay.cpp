#include "platform/gui_call_relay.h"

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <deque>
#include <functional>
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

bool RelayToGui(std::function<void()> call) {
    GuiCallRelay* r = Relay();
    if (r == nullptr) return false;
    r->Push(std::move(call));
    return true;
}

}  // namespace platform

namespace {
void CreateGuiCallRelay() { platform::CreateRelay(); }
}  // namespace
Q_COREAPP_STARTUP_FUNCTION(CreateGuiCallRelay)

#include "gui_call_relay.moc"
