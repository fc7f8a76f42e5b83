#pragma once
// The serial port component: the line settings and the COM port number on top of the port
// base (comm/zp_custom_port.h), which does the opening, closing, bytes and events. The
// work is done by a TZpSerialDispatcher that the port creates when it opens and frees when
// it closes. Every property and operation is called on the GUI thread, and every event
// runs there.
//
// The first open installs one process-wide handler for a free real-time signal, which a
// closing port sends to its own status thread to end that thread's wait for modem-line
// changes. How the signal is chosen, and why a program that uses it is not disturbed:
// comm/serial/status_wake_signal.h.
#include <cstdint>
#include <memory>
#include <string>

#include "comm/serial/serial_device.h"
#include "comm/zp_delays.h"
#include "comm/zp_port_events.h"

namespace zp {

class TZpSerialDispatcher;

enum THWFlowOption : std::uint8_t {
    hwfUseDTR = 1,
    hwfUseRTS = 2,
    hwfRequireDSR = 4,
    hwfRequireCTS = 8
};
using THWFlowOptions = std::uint8_t;
enum TSWFlowOptions { swfNone, swfReceive, swfTransmit, swfBoth };
enum TTapiMode { tmNone, tmAuto, tmOn, tmOff };

class TZpCustomComPort : public TZpPortEvents<TZpCustomComPort> {
  public:
    TZpCustomComPort();
    ~TZpCustomComPort() override;

    // ---- port choice ----
    std::uint16_t ComNumber() const { return comNumber_; }
    // On an open port: closes it, stores n and opens again, keeping triggers.
    void SetComNumber(std::uint16_t n);
    // The device that ComNumber names here (empty when it names none).
    std::string DevicePath() const;
    // True once the open device went away (unplugged, hung up): the port stays open but
    // no byte moves any more, sends are dropped and purges succeed, and the threads have
    // stopped. A line-error status trigger also reports it (error word 0xFFFF). The GUI
    // thread's message wait is woken when this turns true, so a run waiting for a reply
    // can test it in its wait condition and end at once instead of at its time-out.
    bool DeviceLost() const;
    bool PromptForPort() const { return promptForPort_; }
    void SetPromptForPort(bool on) { promptForPort_ = on; }

    // ---- line ----
    // Setting a line property on an open port applies it at once; when the device refuses
    // it the exception is raised and the property keeps its last good value.
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

    // ---- stored only: options without an effect here ----
    bool UseMSRShadow() const { return useMSRShadow_; }
    void SetUseMSRShadow(bool on) { useMSRShadow_ = on; }
    bool UseEventWord() const { return useEventWord_; }
    void SetUseEventWord(bool on) { useEventWord_ = on; }
    std::int16_t CommNotificationLevel() const { return commNotificationLevel_; }
    void SetCommNotificationLevel(std::int16_t n) { commNotificationLevel_ = n; }
    TTapiMode TapiMode() const { return tapiMode_; }
    void SetTapiMode(TTapiMode m) { tapiMode_ = m; }

    // The dispatcher of the open port, opening it first when AutoOpen allows;
    // ECommNotOpen when there is none.
    TZpSerialDispatcher& Dispatcher();
    // The dispatcher, or nothing, without opening.
    TZpSerialDispatcher* CurrentDispatcher() const;

  protected:
    std::unique_ptr<TZpBaseDispatcher> OpenDevice() override;
    // OutSize: the whole ring is free while the port is closed.
    std::size_t OutbuffFreeWhileClosed() const override { return outSize_; }

  private:
    void ApplyLine(const LineSettings& wanted);
    void ApplyFlowThresholds();

    std::uint16_t comNumber_ = 0;
    bool promptForPort_ = true;
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
    bool useMSRShadow_ = true;
    bool useEventWord_ = true;
    std::int16_t commNotificationLevel_ = 10;
    TTapiMode tapiMode_ = tmAuto;
};

// The component as the program places it.
class TZpComPort : public TZpCustomComPort {};

// Raised by an open when the device exists but this user may not open it (its
// permissions; on Debian serial devices belong to the group "dialout"). An input/output
// error with the system's code (EACCES) and text, and the device, for telling the user.
class EDeviceAccessDenied : public EInOutError {
  public:
    explicit EDeviceAccessDenied(std::string devicePath);
    const std::string& DevicePath() const { return devicePath_; }

  private:
    std::string devicePath_;
};

enum class TPortAvailability {
    Absent,    // no device, or not a serial device
    Free,      // opens
    Held,      // another opener holds it
    NoAccess,  // exists, but this user may not open it
};
// What opening COM n would meet, found by opening it briefly. Never raises.
TPortAvailability PortAvailability(std::uint16_t comNumber);
// True when COM n exists and may be used: it opens, or another opener holds it (and may
// let go). False for a device this user has no access to. Never raises.
bool IsPortPresent(std::uint16_t comNumber);

}  // namespace zp
