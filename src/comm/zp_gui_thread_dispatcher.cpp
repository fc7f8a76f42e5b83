#include "comm/zp_gui_thread_dispatcher.h"

#include <QTimer>

namespace zp {

TZpGuiThreadDispatcher::TZpGuiThreadDispatcher(TZpCustomPort* owner, TDispatcherKind kind)
    : TZpBaseDispatcher(owner, kind), timer_(std::make_unique<QTimer>()) {
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] {
        ++timerWakes_;
        Service();
    });
}

TZpGuiThreadDispatcher::~TZpGuiThreadDispatcher() = default;

void TZpGuiThreadDispatcher::Received(const std::uint8_t* bytes, std::size_t count) {
    Queue().PushData(bytes, count);
    Service();
}

void TZpGuiThreadDispatcher::Service() {
    if (done_) return;
    if (servicing_) {
        again_ = true;
        return;
    }
    servicing_ = true;
    do {
        again_ = false;
        std::uint32_t mask;
        std::uint16_t lineErrors;
        while (Queue().PopStatus(mask, lineErrors)) HandleStatusMask(mask, lineErrors);
        FillDispatchBuffer();
        CheckTriggers();
        // A handler that read from a full buffer made room for what is still queued.
        if (QueuedInputBytes() > 0 && InbuffFree() > 0) again_ = true;
    } while (again_ && !FinishLater());
    servicing_ = false;
    if (FinishLater()) {
        timer_->stop();
        PostFinished();
        return;
    }
    ArmTimer();
}

void TZpGuiThreadDispatcher::DonePort(bool mayWait) {
    if (done_) return;
    done_ = true;
    timer_->stop();
    FlushOutBuffer();
    FlushInBuffer();
    CloseDevice();
    TZpBaseDispatcher::DonePort(mayWait);
    // A round that is still on the stack (the close came from one of its handlers) posts
    // the finished cue when it unwinds; so does one whose delivery just ended.
    if (servicing_ && !FinishLater()) SetFinishLater();
}

void TZpGuiThreadDispatcher::InputRoomMade() {
    if (servicing_) {
        again_ = true;
        return;
    }
    // Not from inside the program's read: the next round runs from the event loop. A call
    // queued for a dispatcher that is gone by then is dropped with its timer.
    QMetaObject::invokeMethod(
        timer_.get(), [this] { Service(); }, Qt::QueuedConnection);
}

void TZpGuiThreadDispatcher::TimersChanged() {
    // Inside a round the timer is armed when the round ends.
    if (!servicing_ && !done_) ArmTimer();
}

void TZpGuiThreadDispatcher::ArmTimer() {
    const std::int32_t ms = MsUntilNextTimer();
    if (ms < 0) {
        timer_->stop();
        return;
    }
    timer_->start(ms);
}

}  // namespace zp
