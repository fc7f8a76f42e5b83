#pragma once
// The serial port component: line settings, open and close, a small byte interface and the
// events of received data and timers. The work is done by a TZpSerialDispatcher that the
// port creates when it opens and frees when it closes. Every property and operation is
// called on the GUI thread, and every event runs there.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/serial/serial_device.h"
#include "comm/serial/zp_base_dispatcher.h"
#include "comm/serial/zp_errors.h"
#include "platform/message_sink.h"

namespace zp {

class TZpSerialDispatcher;

// The component base: a version text and where the user hears of a failure that escaped
// one of the component's event handlers.
class TZpBaseComponent {
public:
    virtual ~TZpBaseComponent() = default;
    std::string Version() const { return "1.05"; }

    // The silent sink until set; the sink must outlive the component.
    void SetMessageSink(platform::MessageSink* sink) {
        sink_ = sink != nullptr ? sink : &platform::SilentSink();
    }
    platform::MessageSink& MessageSink() const { return *sink_; }

private:
    platform::MessageSink* sink_ = &platform::SilentSink();
};

enum TDeviceLayer { dlWin32, dlWinsock };
enum THWFlowOption : std::uint8_t { hwfUseDTR = 1, hwfUseRTS = 2, hwfRequireDSR = 4, hwfRequireCTS = 8 };
using THWFlowOptions = std::uint8_t;
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTraceLogState { tlOff, tlOn, tlDump, tlAppend, tlClear, tlPause, tlAppendAndContinue };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

class TZpCustomComPort;
using TPortEvent = std::function<void(TZpCustomComPort& cp)>;
using TTriggerEvent = std::function<void(TZpCustomComPort& cp, std::uint16_t msg, std::uint16_t triggerHandle, std::uint16_t data)>;
using TTriggerAvailEvent = std::function<void(TZpCustomComPort& cp, std::uint16_t count)>;
using TTriggerHandleEvent = std::function<void(TZpCustomComPort& cp, std::uint16_t triggerHandle)>;
using TTriggerLineErrorEvent = std::function<void(TZpCustomComPort& cp, std::uint16_t error, bool lineBreak)>;

class TZpCustomComPort : public TZpBaseComponent {
public:
    static constexpr std::uint32_t kTickMs = 55;

    TZpCustomComPort();
    ~TZpCustomComPort() override;
    TZpCustomComPort(const TZpCustomComPort&) = delete;
    TZpCustomComPort& operator=(const TZpCustomComPort&) = delete;

    // ---- port choice and state ----
    std::uint16_t ComNumber() const { return comNumber_; }
    // On an open port: closes it, stores n and opens again, keeping triggers.
    void SetComNumber(std::uint16_t n);
    bool Open() const { return open_; }
    // True opens (raising on failure, the port left closed); false closes.
    void SetOpen(bool on);
    bool ShuttingDown() const { return state_ == State::ShuttingDown; }
    TDeviceLayer DeviceLayer() const { return deviceLayer_; }
    void SetDeviceLayer(TDeviceLayer layer);
    bool PromptForPort() const { return promptForPort_; }
    void SetPromptForPort(bool on) { promptForPort_ = on; }
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool on) { autoOpen_ = on; }

    // ---- line ----
    std::int32_t Baud() const { return line_.baud; }
    void SetBaud(std::int32_t baud);
    TParity Parity() const { return line_.parity; }
    void SetParity(TParity parity);
    std::uint16_t DataBits() const { return static_cast<std::uint16_t>(line_.dataBits); }
    void SetDataBits(std::uint16_t bits);
    std::uint16_t StopBits() const { return static_cast<std::uint16_t>(line_.stopBits); }
    void SetStopBits(std::uint16_t bits);
    std::uint16_t InSize() const { return inSize_; }
    void SetInSize(std::uint16_t n) { inSize_ = n; }
    std::uint16_t OutSize() const { return outSize_; }
    void SetOutSize(std::uint16_t n) { outSize_ = n; }
    bool DTR() const { return dtr_; }
    void SetDTR(bool on);
    bool RTS() const { return rts_; }
    void SetRTS(bool on);
    THWFlowOptions HWFlowOptions() const { return hwFlow_; }
    void SetHWFlowOptions(THWFlowOptions options);
    TSWFlowOptions SWFlowOptions() const { return swFlow_; }
    void SetSWFlowOptions(TSWFlowOptions options);
    std::uint8_t XOnChar() const { return line_.xonChar; }
    void SetXOnChar(std::uint8_t c);
    std::uint8_t XOffChar() const { return line_.xoffChar; }
    void SetXOffChar(std::uint8_t c);
    std::uint16_t BufferFull() const { return bufferFull_; }
    void SetBufferFull(std::uint16_t n);
    std::uint16_t BufferResume() const { return bufferResume_; }
    void SetBufferResume(std::uint16_t n);
    bool RS485Mode() const { return rs485_; }
    void SetRS485Mode(bool on);
    // Minimum unread bytes for an avail notification; 0 switches it off.
    std::uint16_t AvailThreshold() const { return availThreshold_; }
    void SetAvailThreshold(std::uint16_t n);

    // ---- stored only: diagnostics and options without an effect here ----
    TTraceLogState Tracing() const { return tracing_; }
    void SetTracing(TTraceLogState s) { tracing_ = s; }
    TTraceLogState Logging() const { return logging_; }
    void SetLogging(TTraceLogState s) { logging_ = s; }
    std::uint32_t TraceSize() const { return traceSize_; }
    void SetTraceSize(std::uint32_t n) { traceSize_ = std::min<std::uint32_t>(n, 4000000); }
    std::uint32_t LogSize() const { return logSize_; }
    void SetLogSize(std::uint32_t n) { logSize_ = std::min<std::uint32_t>(n, 16000000); }
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
    bool UseMSRShadow() const { return useMSRShadow_; }
    void SetUseMSRShadow(bool on) { useMSRShadow_ = on; }
    bool UseEventWord() const { return useEventWord_; }
    void SetUseEventWord(bool on) { useEventWord_ = on; }
    std::int16_t CommNotificationLevel() const { return commNotificationLevel_; }
    void SetCommNotificationLevel(std::int16_t n) { commNotificationLevel_ = n; }
    TTapiMode TapiMode() const { return tapiMode_; }
    void SetTapiMode(TTapiMode m) { tapiMode_ = m; }

    // ---- bytes ----
    // Room in the output ring now; OutSize while the port is not open (it is not opened).
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

    // ---- timer triggers (ticks of 55 ms) ----
    std::uint16_t AddTimerTrigger();
    void SetTimerTrigger(std::uint16_t handle, std::int32_t ticks, bool activate);
    void RemoveTrigger(std::uint16_t handle);
    // A status trigger of a kind; OnTriggerLineError then reports a device that failed.
    std::uint16_t AddStatusTrigger(StatusTriggerKind kind);
    void SetStatusTrigger(std::uint16_t handle, std::uint16_t value, bool activate);

    // The dispatcher of the open port, opening it first when AutoOpen allows;
    // ECommNotOpen when there is none.
    TZpSerialDispatcher& Dispatcher();
    // The dispatcher, or nothing, without opening.
    TZpSerialDispatcher* CurrentDispatcher() const { return dispatcher_.get(); }

    // ---- events ----
    void SetOnPortOpen(TPortEvent e) { onPortOpen_ = std::move(e); }
    void SetOnPortClose(TPortEvent e) { onPortClose_ = std::move(e); }
    void SetOnTrigger(TTriggerEvent e) { onTrigger_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerAvail(TTriggerAvailEvent e) { onTriggerAvail_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerData(TTriggerHandleEvent e) { onTriggerData_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerStatus(TTriggerHandleEvent e) { onTriggerStatus_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerTimer(TTriggerHandleEvent e) { onTriggerTimer_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerLineError(TTriggerLineErrorEvent e) { onTriggerLineError_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerModemStatus(TPortEvent e) { onTriggerModemStatus_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerOutbuffFree(TPortEvent e) { onTriggerOutbuffFree_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerOutbuffUsed(TPortEvent e) { onTriggerOutbuffUsed_ = std::move(e); UpdateWantsEvents(); }
    void SetOnTriggerOutSent(TPortEvent e) { onTriggerOutSent_ = std::move(e); UpdateWantsEvents(); }

private:
    class PortWindow;
    enum class State { Closed, ShuttingDown, Open };

    void OpenSequence();
    void CloseSequence();
    void FinishClose();
    void HandleMessage(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam);
    bool WantsEvents() const;
    void UpdateWantsEvents();
    void ApplyLine();
    void ApplyFlowThresholds();

    std::uint16_t comNumber_ = 0;
    bool open_ = false;
    State state_ = State::Closed;
    TDeviceLayer deviceLayer_ = dlWin32;
    bool promptForPort_ = true;
    bool autoOpen_ = true;
    LineSettings line_;
    std::uint16_t inSize_ = 4096;
    std::uint16_t outSize_ = 4096;
    bool dtr_ = true;
    bool rts_ = true;
    THWFlowOptions hwFlow_ = 0;
    TSWFlowOptions swFlow_ = swfNone;
    std::uint16_t bufferFull_ = 0;
    std::uint16_t bufferResume_ = 0;
    bool rs485_ = false;
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
    bool useMSRShadow_ = true;
    bool useEventWord_ = true;
    std::int16_t commNotificationLevel_ = 10;
    TTapiMode tapiMode_ = tmAuto;

    std::unique_ptr<TZpSerialDispatcher> dispatcher_;
    std::shared_ptr<PortWindow> window_;
    bool openPending_ = false;
    bool closeDeferred_ = false;
    bool copyTriggers_ = false;
    TTriggerSet savedTriggers_;
    // Depth of event handlers running now: a close from inside one is deferred.
    int handlerDepth_ = 0;

    TPortEvent onPortOpen_, onPortClose_;
    TTriggerEvent onTrigger_;
    TTriggerAvailEvent onTriggerAvail_;
    TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
    TTriggerLineErrorEvent onTriggerLineError_;
    TPortEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_, onTriggerOutSent_;
};

// The component as the program places it.
class TZpComPort : public TZpCustomComPort {};

// ---- free functions ----

// True when COM n exists: it opens, or another opener holds it. Never raises.
bool IsPortPresent(std::uint16_t comNumber);
// Spins for `ms` milliseconds without processing messages; returns ms.
std::uint32_t DelayMs(std::uint32_t ms);
// Waits ticks × 55 ms (capped at 39045157 ticks); with `processMessages`, keeps the GUI
// thread's events flowing meanwhile and ends early when the application is quitting.
void DelayTicks(std::int32_t ticks, bool processMessages);

}  // namespace zp
