#include "comm/zp_custom_port.h"

#include <algorithm>

#include "comm/dispatcher_registry.h"
#include "platform/gui_thread.h"

namespace zp {

// The hidden window of an open port: the dispatcher's messages arrive here on the GUI
// thread and are turned into the port's events. It looks its port up through the
// dispatcher handle in the message and acts only when that is still its own port, so a
// message meant for a dispatcher already gone (its slot perhaps taken by another) does
// nothing.
class TZpCustomPort::PortWindow : public TZpWindowReceiver {
  public:
    static constexpr const char* kUnknownFailure = "An event handler failed";

    PortWindow(TZpCustomPort* port, TDispatcherKind kind) : port_(port), kind_(kind) {}

    void Procedure(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) override {
        if (msg < kMsgTriggerAvail || (msg > kMsgTriggerStatus && msg != kMsgDeferredClose)) {
            return;
        }
        TZpCustomPort* owner = registry::FindOwner(static_cast<std::int32_t>(lParam >> 16), kind_);
        if (owner == nullptr || owner != port_) return;
        // An exception escaping a handler is the user's to hear of, whatever was thrown;
        // the port goes on.
        try {
            owner->HandleMessage(msg, wParam, lParam);
        } catch (const std::exception& e) {
            if (platform::IsGuiThread()) owner->MessageSink().Show(e.what());
        } catch (...) {
            if (platform::IsGuiThread()) owner->MessageSink().Show(kUnknownFailure);
        }
    }

  private:
    TZpCustomPort* port_;
    TDispatcherKind kind_;
};

TZpCustomPort::TZpCustomPort(TDeviceLayer layer) : deviceLayer_(layer) {}

TZpCustomPort::~TZpCustomPort() {
    if (dispatcher_) {
        // No deferred close here: the object is going away, so everything ends now, and
        // without events, since the derived parts of the port are already gone.
        state_ = State::ShuttingDown;
        dispatcher_->DonePort(handlerDepth_ == 0);
        FinishClose();
    }
}

// ---------------------------------------------------------------- open and close

void TZpCustomPort::SetOpen(bool on) {
    if (on) {
        // During a deferred close Open still reads true, yet the open must be remembered.
        if (state_ == State::ShuttingDown) {
            openPending_ = true;
            return;
        }
        if (open_) return;
        OpenSequence();
    } else {
        if (state_ == State::ShuttingDown) {
            openPending_ = false;
            return;
        }
        if (!open_) return;
        CloseSequence();
    }
}

void TZpCustomPort::SetDeviceLayer(TDeviceLayer layer) {
    if (state_ == State::Closed) deviceLayer_ = layer;
}

void TZpCustomPort::OpenSequence() {
    std::unique_ptr<TZpBaseDispatcher> dispatcher = OpenDevice();
    const std::int32_t handle = dispatcher->Handle();
    window_ = std::make_shared<PortWindow>(this, dispatcher->Kind());
    // The dispatcher's cue for a deferred close; it reaches the port through its window.
    std::weak_ptr<PortWindow> window = window_;
    dispatcher->SetOnFinished([window, handle] {
        if (auto w = window.lock()) {
            w->Procedure(kMsgDeferredClose, 0, static_cast<std::uint32_t>(handle) << 16);
        }
    });
    dispatcher_ = std::move(dispatcher);
    state_ = State::Open;
    open_ = true;
    // The window first, then the wish for events, then the threshold: a notification is
    // only counted as given once somebody can receive it.
    dispatcher_->RegisterWindowReceiver(window_);
    dispatcher_->SetPortWantsEvents(WantsEvents());
    dispatcher_->SetAvailThreshold(availThreshold_);
    const bool restored = copyTriggers_;
    if (copyTriggers_) {
        copyTriggers_ = false;
        dispatcher_->RestoreTriggers(savedTriggers_);
    }
    try {
        PortOpened();
    } catch (...) {
        // The open fails as a whole: the port is closed again (without OnPortClose, as
        // for any failed open), the saved triggers wait for the next open, and the
        // caller gets the handler's exception.
        if (state_ == State::Open) {
            state_ = State::ShuttingDown;
            dispatcher_->UnregisterWindowReceiver(window_.get());
            dispatcher_->DonePort(/*mayWait=*/true);
            window_.reset();
            dispatcher_.reset();
            state_ = State::Closed;
            open_ = false;
            copyTriggers_ = restored;
        }
        throw;
    }
}

void TZpCustomPort::CloseSequence() {
    state_ = State::ShuttingDown;
    dispatcher_->SaveTriggers(savedTriggers_);
    copyTriggers_ = true;
    // Inside one of our own handlers the dispatcher is waiting for us to return, so it
    // cannot finish now: the close completes when it does (deferred close).
    const bool insideDelivery = handlerDepth_ > 0 && dispatcher_->Delivering();
    dispatcher_->DonePort(!insideDelivery);
    if (insideDelivery || dispatcher_->Busy()) {
        closeDeferred_ = true;
        const std::uint32_t lParam = static_cast<std::uint32_t>(dispatcher_->Handle()) << 16;
        std::weak_ptr<PortWindow> window = window_;
        platform::PostToGui([window, lParam] {
            if (auto w = window.lock()) w->Procedure(kMsgDeferredClose, 0, lParam);
        });
        return;
    }
    FinishClose();
}

void TZpCustomPort::FinishClose() {
    if (state_ != State::ShuttingDown) return;
    closeDeferred_ = false;
    if (dispatcher_ && window_) dispatcher_->UnregisterWindowReceiver(window_.get());
    window_.reset();
    dispatcher_.reset();
    state_ = State::Closed;
    open_ = false;
    PortClosed();
    if (openPending_) {
        openPending_ = false;
        SetOpen(true);
    }
}

// ---------------------------------------------------------------- events

void TZpCustomPort::UpdateWantsEvents() {
    if (dispatcher_) dispatcher_->SetPortWantsEvents(WantsEvents());
}

void TZpCustomPort::HandleMessage(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) {
    if (msg == kMsgDeferredClose) {
        // Only a close that was deferred completes here; the dispatcher's cue also comes
        // at the end of a close that is still waiting for it, which finishes by itself.
        if (!closeDeferred_ || state_ != State::ShuttingDown || !dispatcher_) return;
        // Until the dispatcher is done there is nothing to do: its own cue comes then.
        if (dispatcher_->Busy()) return;
        FinishClose();
        return;
    }
    // Once the port is shutting down its handlers would read zeros in place of data.
    if (state_ != State::Open) return;
    struct Depth {
        int& d;
        explicit Depth(int& x) : d(x) { ++d; }
        ~Depth() { --d; }
    } depth(handlerDepth_);
    const auto handle = static_cast<std::uint16_t>(wParam);
    // For an avail notification the data is the count.
    Trigger(static_cast<std::uint16_t>(msg), handle,
            static_cast<std::uint16_t>(msg == kMsgTriggerAvail ? wParam : lParam & 0xFFFF));
    switch (msg) {
        case kMsgTriggerAvail:
            TriggerAvail(handle);
            break;
        case kMsgTriggerData:
            TriggerData(handle);
            break;
        case kMsgTriggerTimer:
            TriggerTimer(handle);
            break;
        case kMsgTriggerStatus:
            TriggerStatus(handle);
            switch (handle & 7) {
                case stModem:
                    TriggerModemStatus();
                    break;
                case stLine:
                    if (dispatcher_) {
                        TriggerLineError(static_cast<std::uint16_t>(dispatcher_->LastLineError()),
                                         dispatcher_->LineBreak());
                    }
                    break;
                case stOutBuffFree:
                    TriggerOutbuffFree();
                    break;
                case stOutBuffUsed:
                    TriggerOutbuffUsed();
                    break;
                case stOutSent:
                    TriggerOutSent();
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------- properties

void TZpCustomPort::SetAvailThreshold(std::uint16_t n) {
    availThreshold_ = n;
    if (dispatcher_) dispatcher_->SetAvailThreshold(n);
}

void TZpCustomPort::SetTraceSize(std::uint32_t n) {
    traceSize_ = std::min<std::uint32_t>(n, 4000000);
}

void TZpCustomPort::SetLogSize(std::uint32_t n) { logSize_ = std::min<std::uint32_t>(n, 16000000); }

// ---------------------------------------------------------------- bytes

TZpBaseDispatcher& TZpCustomPort::PortDispatcher() {
    if (!dispatcher_ && state_ == State::Closed && !open_ && autoOpen_) SetOpen(true);
    if (!dispatcher_) CheckException(ecCommNotOpen);
    return *dispatcher_;
}

std::size_t TZpCustomPort::OutbuffFree() const {
    if (state_ != State::Open || !dispatcher_) return OutbuffFreeWhileClosed();
    return dispatcher_->OutBuffFree();
}

std::size_t TZpCustomPort::OutbuffUsed() const {
    if (state_ != State::Open || !dispatcher_) return 0;
    return dispatcher_->OutBuffUsed();
}

std::size_t TZpCustomPort::InBuffUsed() const {
    if (state_ != State::Open || !dispatcher_) return 0;
    return dispatcher_->InbuffUsed();
}

void TZpCustomPort::SendByte(std::uint8_t b) { SendBlock(&b, 1); }

void TZpCustomPort::SendString(const std::string& s) {
    SendBlock(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

void TZpCustomPort::SendBlock(const std::uint8_t* bytes, std::size_t length) {
    if (state_ == State::ShuttingDown) return;
    TZpBaseDispatcher& d = PortDispatcher();
    if (length == 0) return;
    CheckException(d.PutBlock(bytes, length));
}

std::uint8_t TZpCustomPort::ReceiveByte() {
    if (state_ == State::ShuttingDown) return 0;
    std::uint8_t c = 0;
    CheckException(PortDispatcher().GetChar(c));
    return c;
}

void TZpCustomPort::PurgeInput() {
    if (state_ == State::ShuttingDown) return;
    CheckException(PortDispatcher().FlushInBuffer());
}

void TZpCustomPort::PurgeOutput() {
    if (state_ == State::ShuttingDown) return;
    CheckException(PortDispatcher().FlushOutBuffer());
}

// ---------------------------------------------------------------- triggers

std::uint16_t TZpCustomPort::AddTimerTrigger() {
    return static_cast<std::uint16_t>(CheckException(PortDispatcher().AddTimerTrigger()));
}

void TZpCustomPort::SetTimerTrigger(std::uint16_t handle, std::int32_t ticks, bool activate) {
    CheckException(PortDispatcher().SetTimerTrigger(handle, ticks, activate));
}

void TZpCustomPort::RemoveTrigger(std::uint16_t handle) {
    CheckException(PortDispatcher().RemoveTrigger(handle));
    // Handle 1 is the avail notification: the port's threshold follows, so that a reopen
    // does not switch it on again.
    if (handle == kAvailTriggerHandle) availThreshold_ = 0;
}

std::uint16_t TZpCustomPort::AddStatusTrigger(StatusTriggerKind kind) {
    return static_cast<std::uint16_t>(CheckException(PortDispatcher().AddStatusTrigger(kind)));
}

void TZpCustomPort::SetStatusTrigger(std::uint16_t handle, std::uint16_t value, bool activate) {
    CheckException(PortDispatcher().SetStatusTrigger(handle, value, activate));
}

}  // namespace zp
