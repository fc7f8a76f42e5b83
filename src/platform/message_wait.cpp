#include "platform/message_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>

#include "platform/gui_thread.h"

namespace platform {

namespace {
std::atomic<bool> waitsEnded{false};
}  // namespace

void ProcessMessagesUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (QCoreApplication::instance() == nullptr || waitsEnded) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    if (QCoreApplication::instance() == nullptr || waitsEnded) return false;
    QElapsedTimer clock;
    clock.start();
    bool expired = false;
    // The timer's tick is the event that ends the wait when nothing else arrives.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, [&expired] { expired = true; });
    deadline.start(timeoutMs);
    while (!done()) {
        if (expired || waitsEnded || clock.elapsed() >= timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void ProcessMessagesWhile(const bool& flag) {
    ProcessMessagesUntil([&flag] { return !flag; });
}

void ProcessPendingMessages() {
    if (QCoreApplication::instance() == nullptr) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WakeMessageWait() {
    // An empty queued call both wakes the dispatcher and counts as the event it waits for.
    WakeGuiThread();
}

void EndMessageWaits() {
    waitsEnded = true;
    WakeMessageWait();
}

bool MessageWaitsEnded() { return waitsEnded; }

void ResumeMessageWaits() { waitsEnded = false; }

}  // namespace platform
