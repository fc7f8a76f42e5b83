#include "platform/message_wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>

namespace platform {

void ProcessMessagesUntil(const std::function<bool()>& done) {
    while (!done()) {
        if (QCoreApplication::instance() == nullptr) return;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void ProcessMessagesWhile(const bool& flag) {
    ProcessMessagesUntil([&flag] { return !flag; });
}

void ProcessPendingMessages() {
    if (QCoreApplication::instance() == nullptr) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WakeMessageWait() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    // An empty posted call both wakes the dispatcher and counts as the event it waits for.
    QMetaObject::invokeMethod(app, [] {}, Qt::QueuedConnection);
}

}  // namespace platform
