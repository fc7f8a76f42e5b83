#include "comm/serial/zp_com_port.h"

#include <QCoreApplication>
#include <cmath>

#include "comm/serial/com_device_path.h"
#include "comm/serial/dispatcher_registry.h"
#include "comm/serial/zp_serial_dispatcher.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace zp {

// The hidden window of an open port: the dispatcher's messages arrive here on the GUI
// thread and are turned into the port's events. It finds its port through the dispatcher
// handle in the message, so a message meant for a dispatcher already gone does nothing.
class TZpCustomComPort::PortWindow : public TZpWindowReceiver {
public:
    void Procedure(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) override {
        if (msg < kMsgTriggerAvail || (msg > kMsgTriggerStatus && msg != kMsgDeferredClose)) return;
        TZpBaseDispatcher* d = registry::Find(static_cast<std::int32_t>(lParam >> 16));
        if (d == nullptr || d->Owner() == nullptr) return;
        auto* port = static_cast<TZpCustomComPort*>(d->Owner());
        try {
            port->HandleMessage(msg, wParam, lParam);
        } catch (const std::exception& e) {
            // An exception escaping a handler is the user's to hear of; the port goes on.
            if (platform::IsGuiThread()) port->MessageSink().Show(e.what());
        }
    }
};

TZpCustomComPort::TZpCustomComPort() = default;

TZpCustomComPort::~TZpCustomComPort() {
    if (dispatcher_) {
        // No deferred close here: the object is going away, so everything ends now.
        state_ = State::ShuttingDown;
        dispatcher_->DonePort(handlerDepth_ == 0);
        FinishClose();
    }
}

// ---------------------------------------------------------------- open and close

void TZpCustomComPort::SetComNumber(std::uint16_t n) {
    if (n == comNumber_) return;
    if (open_) {
        // Closing saves the triggers and opening restores them.
        const TTraceLogState tracing = tracing_, logging = logging_;
        SetOpen(false);
        comNumber_ = n;
        tracing_ = tracing;
        logging_ = logging;
        SetOpen(true);
        return;
    }
    comNumber_ = n;
}

void TZpCustomComPort::SetOpen(bool on) {
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

void TZpCustomComPort::SetDeviceLayer(TDeviceLayer layer) {
    if (state_ == State::Closed) deviceLayer_ = layer;
}

void TZpCustomComPort::OpenSequence() {
    if (tapiMode_ != tmOn && comNumber_ == 0) {
        // The port-choice dialog is not part of this program; asking for it fails the same
        // way as cancelling it.
        CheckException(ecNoPortSelected);
    }
    if (deviceLayer_ != dlWin32) CheckException(ecNullApi);
    if (tapiMode_ == tmOn) CheckException(ecNotOpenedByTapi);
    auto dispatcher = std::make_unique<TZpSerialDispatcher>(this);
    const std::int32_t handle = dispatcher->Handle();
    // The event thread's cue for a deferred close; it reaches the port through its window.
    auto windowSlot = std::make_shared<std::weak_ptr<PortWindow>>();
    dispatcher->SetOnFinished([windowSlot, handle] {
        if (auto w = windowSlot->lock()) w->Procedure(kMsgDeferredClose, 0, static_cast<std::uint32_t>(handle) << 16);
    });
    std::uint8_t flags = 0;
    if (dtr_) flags |= ifDTR;
    if (rts_) flags |= ifRTS;
    if (hwFlow_ & hwfUseDTR) flags |= ifHandshakeDTR;
    if (hwFlow_ & hwfUseRTS) flags |= ifHandshakeRTS;
    std::int32_t result = dispatcher->Initialise(ComDevicePath(comNumber_), line_, inSize_, outSize_, flags);
    if (result == ecAccessDenied) result = ecAlreadyOpen;
    if (result == ecFileNotFound || result == ecPathNotFound) result = ecBadId;
    if (result != 0) {
        dispatcher.reset();
        CheckException(result);
    }
    dispatcher_ = std::move(dispatcher);
    state_ = State::Open;
    dispatcher_->SetPortWantsEvents(WantsEvents());
    dispatcher_->SetAvailThreshold(availThreshold_);
    open_ = true;
    window_ = std::make_shared<PortWindow>();
    *windowSlot = window_;
    dispatcher_->RegisterWindowReceiver(window_);
    if (copyTriggers_) {
        copyTriggers_ = false;
        dispatcher_->RestoreTriggers(savedTriggers_);
    }
    if (onPortOpen_) onPortOpen_(*this);
}

void TZpCustomComPort::CloseSequence() {
    state_ = State::ShuttingDown;
    dispatcher_->SaveTriggers(savedTriggers_);
    copyTriggers_ = true;
    // Inside one of our own handlers the event thread is waiting for us to return, so it
    // cannot end now: the close completes when it does (deferred close).
    const bool insideDelivery = handlerDepth_ > 0 && dispatcher_->Delivering();
    dispatcher_->DonePort(!insideDelivery);
    if (insideDelivery || dispatcher_->RunningThreads() > 0) {
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

void TZpCustomComPort::FinishClose() {
    if (state_ != State::ShuttingDown) return;
    closeDeferred_ = false;
    if (dispatcher_ && window_) dispatcher_->UnregisterWindowReceiver(window_.get());
    window_.reset();
    dispatcher_.reset();
    state_ = State::Closed;
    open_ = false;
    if (onPortClose_) onPortClose_(*this);
    if (openPending_) {
        openPending_ = false;
        SetOpen(true);
    }
}

// ---------------------------------------------------------------- events

bool TZpCustomComPort::WantsEvents() const {
    return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ || onTriggerTimer_ ||
           onTriggerLineError_ || onTriggerModemStatus_ || onTriggerOutbuffFree_ || onTriggerOutbuffUsed_ ||
           onTriggerOutSent_;
}

void TZpCustomComPort::UpdateWantsEvents() {
    if (dispatcher_) dispatcher_->SetPortWantsEvents(WantsEvents());
}

void TZpCustomComPort::HandleMessage(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) {
    if (msg == kMsgDeferredClose) {
        // Only a close that was deferred completes here; the event thread's cue also comes
        // at the end of a close that is still waiting for it, which finishes by itself.
        if (!closeDeferred_ || state_ != State::ShuttingDown || !dispatcher_) return;
        // The event thread's own cue arrives when it has ended; until then there is nothing
        // to do, and no need to keep re-posting.
        if (dispatcher_->RunningThreads() > 0) return;
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
    if (onTrigger_) {
        // For an avail notification the data is the count.
        const auto data = static_cast<std::uint16_t>(msg == kMsgTriggerAvail ? wParam : lParam & 0xFFFF);
        onTrigger_(*this, static_cast<std::uint16_t>(msg), handle, data);
    }
    switch (msg) {
        case kMsgTriggerAvail:
            if (onTriggerAvail_) onTriggerAvail_(*this, handle);
            break;
        case kMsgTriggerData:
            if (onTriggerData_) onTriggerData_(*this, handle);
            break;
        case kMsgTriggerTimer:
            if (onTriggerTimer_) onTriggerTimer_(*this, handle);
            break;
        case kMsgTriggerStatus:
            if (onTriggerStatus_) onTriggerStatus_(*this, handle);
            switch (handle & 7) {
                case stModem:
                    if (onTriggerModemStatus_) onTriggerModemStatus_(*this);
                    break;
                case stLine:
                    if (onTriggerLineError_ && dispatcher_) {
                        onTriggerLineError_(*this, static_cast<std::uint16_t>(dispatcher_->LastLineError()),
                                            dispatcher_->LineBreak());
                    }
                    break;
                case stOutBuffFree:
                    if (onTriggerOutbuffFree_) onTriggerOutbuffFree_(*this);
                    break;
                case stOutBuffUsed:
                    if (onTriggerOutbuffUsed_) onTriggerOutbuffUsed_(*this);
                    break;
                case stOutSent:
                    if (onTriggerOutSent_) onTriggerOutSent_(*this);
                    break;
                default: break;
            }
            break;
        default: break;
    }
}

// ---------------------------------------------------------------- line properties

void TZpCustomComPort::ApplyLine() {
    if (state_ == State::Open && dispatcher_) CheckException(dispatcher_->SetLine(line_));
}

void TZpCustomComPort::SetBaud(std::int32_t baud) {
    if (baud == line_.baud) return;
    line_.baud = baud;
    ApplyLine();
}

void TZpCustomComPort::SetParity(TParity parity) {
    if (parity == line_.parity) return;
    line_.parity = parity;
    ApplyLine();
}

void TZpCustomComPort::SetDataBits(std::uint16_t bits) {
    if (bits == line_.dataBits) return;
    line_.dataBits = bits;
    ApplyLine();
}

void TZpCustomComPort::SetStopBits(std::uint16_t bits) {
    if (bits == line_.stopBits) return;
    line_.stopBits = bits;
    ApplyLine();
}

void TZpCustomComPort::SetDTR(bool on) {
    dtr_ = on;
    if (state_ == State::Open && dispatcher_) CheckException(dispatcher_->SetDTR(on));
}

void TZpCustomComPort::SetRTS(bool on) {
    rts_ = on;
    if (state_ == State::Open && dispatcher_) CheckException(dispatcher_->SetRTS(on));
}

void TZpCustomComPort::ApplyFlowThresholds() {
    const bool hardware = hwFlow_ != 0;
    const bool software = swFlow_ != swfNone;
    if (!hardware && !software) return;
    const double fullFactor = hardware ? 0.9 : 0.75;
    const double resumeFactor = hardware ? 0.1 : 0.25;
    if (bufferFull_ == 0 || bufferFull_ > inSize_) bufferFull_ = static_cast<std::uint16_t>(std::lround(inSize_ * fullFactor));
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
        bufferResume_ = static_cast<std::uint16_t>(std::lround(inSize_ * resumeFactor));
    }
}

void TZpCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
    hwFlow_ = options;
    if (options & (hwfUseRTS | hwfRequireCTS)) rs485_ = false;
    line_.hardwareFlow = (options & (hwfUseRTS | hwfRequireCTS)) != 0;
    ApplyFlowThresholds();
    ApplyLine();
}

void TZpCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
    swFlow_ = options;
    line_.softwareReceive = options == swfReceive || options == swfBoth;
    line_.softwareTransmit = options == swfTransmit || options == swfBoth;
    ApplyFlowThresholds();
    ApplyLine();
}

void TZpCustomComPort::SetXOnChar(std::uint8_t c) {
    line_.xonChar = c;
    ApplyLine();
}

void TZpCustomComPort::SetXOffChar(std::uint8_t c) {
    line_.xoffChar = c;
    ApplyLine();
}

void TZpCustomComPort::SetBufferFull(std::uint16_t n) {
    bufferFull_ = n > inSize_ ? static_cast<std::uint16_t>(std::lround(n * 0.9)) : n;
}

void TZpCustomComPort::SetBufferResume(std::uint16_t n) {
    bufferResume_ = n > bufferFull_ ? static_cast<std::uint16_t>(std::lround(bufferFull_ * 0.1)) : n;
}

void TZpCustomComPort::SetRS485Mode(bool on) {
    rs485_ = on;
    if (on) {
        hwFlow_ &= static_cast<THWFlowOptions>(~(hwfUseRTS | hwfRequireCTS));
        line_.hardwareFlow = false;
        SetRTS(false);
    }
}

void TZpCustomComPort::SetAvailThreshold(std::uint16_t n) {
    availThreshold_ = n;
    if (dispatcher_) dispatcher_->SetAvailThreshold(n);
}

// ---------------------------------------------------------------- bytes

TZpSerialDispatcher& TZpCustomComPort::Dispatcher() {
    if (!dispatcher_ && state_ == State::Closed && !open_ && autoOpen_) SetOpen(true);
    if (!dispatcher_) CheckException(ecCommNotOpen);
    return *dispatcher_;
}

std::size_t TZpCustomComPort::OutbuffFree() const {
    if (state_ != State::Open || !dispatcher_) return outSize_;
    return dispatcher_->OutBuffFree();
}

std::size_t TZpCustomComPort::OutbuffUsed() const {
    if (state_ != State::Open || !dispatcher_) return 0;
    return dispatcher_->OutBuffUsed();
}

std::size_t TZpCustomComPort::InBuffUsed() const {
    if (state_ != State::Open || !dispatcher_) return 0;
    return dispatcher_->InbuffUsed();
}

void TZpCustomComPort::SendByte(std::uint8_t b) {
    SendBlock(&b, 1);
}

void TZpCustomComPort::SendString(const std::string& s) {
    SendBlock(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

void TZpCustomComPort::SendBlock(const std::uint8_t* bytes, std::size_t length) {
    if (state_ == State::ShuttingDown) return;
    TZpSerialDispatcher& d = Dispatcher();
    if (length == 0) return;
    CheckException(d.PutBlock(bytes, length));
}

std::uint8_t TZpCustomComPort::ReceiveByte() {
    if (state_ == State::ShuttingDown) return 0;
    std::uint8_t c = 0;
    CheckException(Dispatcher().GetChar(c));
    return c;
}

void TZpCustomComPort::PurgeInput() {
    if (state_ == State::ShuttingDown) return;
    CheckException(Dispatcher().FlushInBuffer());
}

void TZpCustomComPort::PurgeOutput() {
    if (state_ == State::ShuttingDown) return;
    CheckException(Dispatcher().FlushOutBuffer());
}

std::uint16_t TZpCustomComPort::AddTimerTrigger() {
    return static_cast<std::uint16_t>(CheckException(Dispatcher().AddTimerTrigger()));
}

void TZpCustomComPort::SetTimerTrigger(std::uint16_t handle, std::int32_t ticks, bool activate) {
    CheckException(Dispatcher().SetTimerTrigger(handle, ticks, activate));
}

void TZpCustomComPort::RemoveTrigger(std::uint16_t handle) {
    CheckException(Dispatcher().RemoveTrigger(handle));
}

std::uint16_t TZpCustomComPort::AddStatusTrigger(StatusTriggerKind kind) {
    return static_cast<std::uint16_t>(CheckException(Dispatcher().AddStatusTrigger(kind)));
}

void TZpCustomComPort::SetStatusTrigger(std::uint16_t handle, std::uint16_t value, bool activate) {
    CheckException(Dispatcher().SetStatusTrigger(handle, value, activate));
}

// ---------------------------------------------------------------- free functions

bool IsPortPresent(std::uint16_t comNumber) {
    if (comNumber == 0) return false;
    int fd = -1;
    // Without the kernel's exclusive flag: set and cleared again here, it would also clear
    // the flag of a program that holds the port and that root was let past.
    const std::int32_t result = OpenSerialDevice(ComDevicePath(comNumber), fd, /*exclusive=*/false);
    if (result == 0) {
        CloseSerialDevice(fd, /*exclusive=*/false);
        return true;
    }
    return result == ecAccessDenied;
}

std::uint32_t DelayMs(std::uint32_t ms) {
    platform::BusyDelay(ms);
    return ms;
}

void DelayTicks(std::int32_t ticks, bool processMessages) {
    if (ticks < 1) return;
    ticks = std::min(ticks, TZpBaseDispatcher::kMaxTimerTicks);
    const std::uint32_t ms = static_cast<std::uint32_t>(ticks) * TZpCustomComPort::kTickMs;
    if (!processMessages || !platform::IsGuiThread()) {
        platform::BusyDelay(ms);
        return;
    }
    const std::uint32_t start = platform::MillisecondClock();
    platform::ProcessMessagesUntil(
        [start, ms] {
            return platform::MillisecondClock() - start >= ms || QCoreApplication::closingDown();
        },
        static_cast<int>(ms));
}

}  // namespace zp
