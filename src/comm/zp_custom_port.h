#pragma once
// The port component whatever its transport: opening and closing (with the close deferred
// while one of the port's own handlers runs), a small byte interface over the dispatcher,
// timer and status triggers, and the fan-out of the dispatcher's messages into the port's
// events. Every property and operation is called on the GUI thread, and every event runs
// there. The serial port (comm/serial/zp_com_port.h) and the FTP client's socket port are
// transports on this base.
//
// How a transport's port plugs in (the socket port of the FTP client, for example):
//
// - The dispatcher. Derive it from TZpGuiThreadDispatcher (comm/zp_gui_thread_dispatcher.h)
//   with TDispatcherKind::Socket. Implement PutBlock, OutBuffFree, OutBuffUsed and
//   FlushOutBuffer for the sending side and CloseDevice for the end. Hand every byte read
//   from the socket to Received() on the GUI thread (from the socket notifier's handler):
//   that queues them, fills the dispatch buffer and delivers the avail notification before
//   it returns. Timer triggers need nothing more: the dispatcher arms one single-shot timer
//   for MsUntilNextTimer() and re-arms it whenever a trigger changes, so it never polls.
//   A dispatcher with threads of its own (the serial one) derives from TZpBaseDispatcher,
//   runs FillDispatchBuffer and CheckTriggers itself, overrides Busy while its threads run
//   and calls PostFinished when they have ended.
// - The port. Derive it from TZpPortEvents<YourPort> (comm/zp_port_events.h), which holds
//   the ten trigger events and OnPortOpen/OnPortClose with YourPort& as the sender, or from
//   TZpCustomPort directly and override the Trigger* hooks. Implement OpenDevice(): check
//   the port's settings, create the dispatcher with `this` as its owner, open the device
//   and return the dispatcher, or raise (through CheckException) with nothing left open.
//   Everything else, SetOpen, SendString, ReceiveByte, PurgeInput, timer triggers, the
//   deferred close and the restoring of triggers across a reopen, is this class's.
// - A component on the port (the FTP client) overrides the hooks it consumes, for example
//   TriggerAvail to read the reply lines and TriggerTimer for its transfer timer, and
//   WantsEvents to return true so that the dispatcher delivers to it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "comm/zp_base_component.h"
#include "comm/zp_base_dispatcher.h"
#include "comm/zp_errors.h"

namespace zp {

enum TDeviceLayer { dlWin32, dlWinsock };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue };

class TZpCustomPort : public TZpBaseComponent {
  public:
    static constexpr std::uint32_t kTickMs = TZpBaseDispatcher::kTickMs;
    static constexpr std::uint16_t kAvailTriggerHandle = TZpBaseDispatcher::kAvailTriggerHandle;

    ~TZpCustomPort() override;
    TZpCustomPort(const TZpCustomPort&) = delete;
    TZpCustomPort& operator=(const TZpCustomPort&) = delete;

    // ---- state ----
    bool Open() const { return open_; }
    // True opens (raising on failure, the port left closed; an exception from OnPortOpen
    // counts as a failure); false closes.
    void SetOpen(bool on);
    bool ShuttingDown() const { return state_ == State::ShuttingDown; }
    TDeviceLayer DeviceLayer() const { return deviceLayer_; }
    // Ignored unless the port is closed.
    void SetDeviceLayer(TDeviceLayer layer);
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool on) { autoOpen_ = on; }

    // ---- bytes ----
    // Room for sending now; while the port is not open, what the transport reports then
    // (the port is not opened).
    std::size_t OutbuffFree() const;
    std::size_t OutbuffUsed() const;
    // Unread received bytes (inside OnTriggerAvail: those not yet read there).
    std::size_t InBuffUsed() const;
    void SendByte(std::uint8_t b);
    // Queues all of `s` at once or raises EOutputBufferTooSmall with nothing queued.
    void SendString(const std::string& s);
    void SendBlock(const std::uint8_t* bytes, std::size_t length);
    // The next unread byte, or EBufferIsEmpty; 0 while shutting down.
    std::uint8_t ReceiveByte();
    void PurgeInput();
    void PurgeOutput();
    // Minimum unread bytes for an avail notification; 0 switches it off.
    std::uint16_t AvailThreshold() const { return availThreshold_; }
    void SetAvailThreshold(std::uint16_t n);

    // ---- triggers (timer ticks of 55 ms) ----
    std::uint16_t AddTimerTrigger();
    void SetTimerTrigger(std::uint16_t handle, std::int32_t ticks, bool activate);
    // Removing handle 1 switches the avail notification off (AvailThreshold 0).
    void RemoveTrigger(std::uint16_t handle);
    // A status trigger of a kind; OnTriggerLineError then reports a device that failed.
    std::uint16_t AddStatusTrigger(StatusTriggerKind kind);
    void SetStatusTrigger(std::uint16_t handle, std::uint16_t value, bool activate);

    // The dispatcher of the open port, opening it first when AutoOpen allows;
    // ECommNotOpen when there is none.
    TZpBaseDispatcher& PortDispatcher();
    // The dispatcher, or nothing, without opening.
    TZpBaseDispatcher* CurrentPortDispatcher() const { return dispatcher_.get(); }

    // ---- stored only: diagnostics that this program never switches on ----
    TTraceLogState Tracing() const { return tracing_; }
    void SetTracing(TTraceLogState s) { tracing_ = s; }
    TTraceLogState Logging() const { return logging_; }
    void SetLogging(TTraceLogState s) { logging_ = s; }
    std::uint32_t TraceSize() const { return traceSize_; }
    void SetTraceSize(std::uint32_t n);
    std::uint32_t LogSize() const { return logSize_; }
    void SetLogSize(std::uint32_t n);
    const std::string& TraceName() const { return traceName_; }
    void SetTraceName(const std::string& s) { traceName_ = s.substr(0, 255); }
    const std::string& LogName() const { return logName_; }
    void SetLogName(const std::string& s) { logName_ = s.substr(0, 255); }
    bool TraceHex() const { return traceHex_; }
    void SetTraceHex(bool on) { traceHex_ = on; }
    bool LogHex() const { return logHex_; }
    void SetLogHex(bool on) { logHex_ = on; }
    bool TraceAllHex() const { return traceAllHex_; }
    void SetTraceAllHex(bool on) { traceAllHex_ = on; }
    bool LogAllHex() const { return logAllHex_; }
    void SetLogAllHex(bool on) { logAllHex_ = on; }

  protected:
    explicit TZpCustomPort(TDeviceLayer layer);

    // ---- what the transport provides ----
    // Checks the settings, creates the dispatcher (owned by `this`), opens the device and
    // returns the running dispatcher; raises with nothing left open on failure.
    virtual std::unique_ptr<TZpBaseDispatcher> OpenDevice() = 0;
    virtual std::size_t OutbuffFreeWhileClosed() const { return 0; }

    // ---- events, called on the GUI thread; the defaults do nothing ----
    // True when somebody consumes trigger events; without it the dispatcher does not
    // deliver to the port. Call UpdateWantsEvents when the answer changes.
    virtual bool WantsEvents() const { return false; }
    void UpdateWantsEvents();
    virtual void PortOpened() {}
    virtual void PortClosed() {}
    // Before every specific trigger event. For an avail notification `data` is the count.
    virtual void Trigger(std::uint16_t /*msg*/, std::uint16_t /*handle*/, std::uint16_t /*data*/) {}
    virtual void TriggerAvail(std::uint16_t /*count*/) {}
    virtual void TriggerData(std::uint16_t /*handle*/) {}
    virtual void TriggerTimer(std::uint16_t /*handle*/) {}
    virtual void TriggerStatus(std::uint16_t /*handle*/) {}
    virtual void TriggerModemStatus() {}
    virtual void TriggerLineError(std::uint16_t /*error*/, bool /*lineBreak*/) {}
    virtual void TriggerOutbuffFree() {}
    virtual void TriggerOutbuffUsed() {}
    virtual void TriggerOutSent() {}

  private:
    class PortWindow;
    enum class State { Closed, ShuttingDown, Open };

    void OpenSequence();
    void CloseSequence();
    void FinishClose();
    void HandleMessage(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam);

    bool open_ = false;
    State state_ = State::Closed;
    TDeviceLayer deviceLayer_;
    bool autoOpen_ = true;
    std::uint16_t availThreshold_ = 1;
    TTraceLogState tracing_ = tlOff;
    TTraceLogState logging_ = tlOff;
    std::uint32_t traceSize_ = 10000;
    std::uint32_t logSize_ = 10000;
    std::string traceName_ = "ZEPO.TRC";
    std::string logName_ = "ZEPO.LOG";
    bool traceHex_ = true;
    bool logHex_ = true;
    bool traceAllHex_ = false;
    bool logAllHex_ = false;

    std::unique_ptr<TZpBaseDispatcher> dispatcher_;
    std::shared_ptr<PortWindow> window_;
    bool openPending_ = false;
    bool closeDeferred_ = false;
    bool copyTriggers_ = false;
    TTriggerSet savedTriggers_;
    // Depth of event handlers running now: a close from inside one is deferred.
    int handlerDepth_ = 0;
};

}  // namespace zp
