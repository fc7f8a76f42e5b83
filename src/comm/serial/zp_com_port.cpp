#include "comm/serial/zp_com_port.h"

#include <cmath>

#include "comm/serial/com_device_path.h"
#include "comm/serial/zp_serial_dispatcher.h"

namespace zp {

TZpCustomComPort::TZpCustomComPort() : TZpPortEvents(dlWin32) {}

TZpCustomComPort::~TZpCustomComPort() = default;

// ---------------------------------------------------------------- open

void TZpCustomComPort::SetComNumber(std::uint16_t n) {
    if (n == comNumber_) return;
    if (Open()) {
        // Closing saves the triggers and opening restores them.
        const TTraceLogState tracing = Tracing(), logging = Logging();
        SetOpen(false);
        comNumber_ = n;
        SetTracing(tracing);
        SetLogging(logging);
        SetOpen(true);
        return;
    }
    comNumber_ = n;
}

std::unique_ptr<TZpBaseDispatcher> TZpCustomComPort::OpenDevice() {
    if (tapiMode_ != tmOn && comNumber_ == 0) {
        // The port-choice dialog is not part of this program; asking for it fails the same
        // way as cancelling it.
        CheckException(ecNoPortSelected);
    }
    if (DeviceLayer() != dlWin32) CheckException(ecNullApi);
    if (tapiMode_ == tmOn) CheckException(ecNotOpenedByTapi);
    auto dispatcher = std::make_unique<TZpSerialDispatcher>(this);
    std::uint8_t flags = 0;
    if (dtr_) flags |= ifDTR;
    if (rts_) flags |= ifRTS;
    if (hwFlow_ & hwfUseDTR) flags |= ifHandshakeDTR;
    if (hwFlow_ & hwfUseRTS) flags |= ifHandshakeRTS;
    std::int32_t result =
        dispatcher->Initialise(ComDevicePath(comNumber_), line_, inSize_, outSize_, flags);
    if (result == ecAccessDenied) result = ecAlreadyOpen;
    if (result == ecFileNotFound || result == ecPathNotFound) result = ecBadId;
    if (result != 0) {
        dispatcher.reset();
        if (result == ecPermissionDenied) throw EDeviceAccessDenied(ComDevicePath(comNumber_));
        CheckException(result);
    }
    return dispatcher;
}

std::string TZpCustomComPort::DevicePath() const { return ComDevicePath(comNumber_); }

bool TZpCustomComPort::DeviceLost() const {
    return CurrentDispatcher() != nullptr && CurrentDispatcher()->DeviceLost();
}

TZpSerialDispatcher& TZpCustomComPort::Dispatcher() {
    PortDispatcher();
    return *CurrentDispatcher();
}

TZpSerialDispatcher* TZpCustomComPort::CurrentDispatcher() const {
    // Always the kind OpenDevice made.
    return static_cast<TZpSerialDispatcher*>(CurrentPortDispatcher());
}

// ---------------------------------------------------------------- line properties

void TZpCustomComPort::ApplyLine(const LineSettings& wanted) {
    // On an open port the device must take the settings first: a refused one leaves the
    // last good settings in place, on the device and here, so the next open still works.
    if (Open() && !ShuttingDown() && CurrentDispatcher() != nullptr) {
        CheckException(CurrentDispatcher()->SetLine(wanted));
    }
    line_ = wanted;
}

void TZpCustomComPort::SetBaud(std::int32_t baud) {
    if (baud == line_.baud) return;
    LineSettings wanted = line_;
    wanted.baud = baud;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetParity(TParity parity) {
    if (parity == line_.parity) return;
    LineSettings wanted = line_;
    wanted.parity = parity;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetDataBits(std::uint16_t bits) {
    if (bits == line_.dataBits) return;
    LineSettings wanted = line_;
    wanted.dataBits = bits;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetStopBits(std::uint16_t bits) {
    if (bits == line_.stopBits) return;
    LineSettings wanted = line_;
    wanted.stopBits = bits;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetDTR(bool on) {
    dtr_ = on;
    if (Open() && !ShuttingDown() && CurrentDispatcher() != nullptr) {
        CheckException(CurrentDispatcher()->SetDTR(on));
    }
}

void TZpCustomComPort::SetRTS(bool on) {
    rts_ = on;
    if (Open() && !ShuttingDown() && CurrentDispatcher() != nullptr) {
        CheckException(CurrentDispatcher()->SetRTS(on));
    }
}

void TZpCustomComPort::ApplyFlowThresholds() {
    const bool hardware = hwFlow_ != 0;
    const bool software = swFlow_ != swfNone;
    if (!hardware && !software) return;
    const double fullFactor = hardware ? 0.9 : 0.75;
    const double resumeFactor = hardware ? 0.1 : 0.25;
    if (bufferFull_ == 0 || bufferFull_ > inSize_) {
        bufferFull_ = static_cast<std::uint16_t>(std::lround(inSize_ * fullFactor));
    }
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
        bufferResume_ = static_cast<std::uint16_t>(std::lround(inSize_ * resumeFactor));
    }
}

void TZpCustomComPort::SetHWFlowOptions(THWFlowOptions options) {
    LineSettings wanted = line_;
    wanted.hardwareFlow = (options & (hwfUseRTS | hwfRequireCTS)) != 0;
    ApplyLine(wanted);
    hwFlow_ = options;
    if (options & (hwfUseRTS | hwfRequireCTS)) rs485_ = false;
    ApplyFlowThresholds();
}

void TZpCustomComPort::SetSWFlowOptions(TSWFlowOptions options) {
    LineSettings wanted = line_;
    wanted.softwareReceive = options == swfReceive || options == swfBoth;
    wanted.softwareTransmit = options == swfTransmit || options == swfBoth;
    ApplyLine(wanted);
    swFlow_ = options;
    ApplyFlowThresholds();
}

void TZpCustomComPort::SetXOnChar(std::uint8_t c) {
    LineSettings wanted = line_;
    wanted.xonChar = c;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetXOffChar(std::uint8_t c) {
    LineSettings wanted = line_;
    wanted.xoffChar = c;
    ApplyLine(wanted);
}

void TZpCustomComPort::SetBufferFull(std::uint16_t n) {
    bufferFull_ = n > inSize_ ? static_cast<std::uint16_t>(std::lround(n * 0.9)) : n;
}

void TZpCustomComPort::SetBufferResume(std::uint16_t n) {
    bufferResume_ =
        n > bufferFull_ ? static_cast<std::uint16_t>(std::lround(bufferFull_ * 0.1)) : n;
}

void TZpCustomComPort::SetRS485Mode(bool on) {
    rs485_ = on;
    if (on) {
        hwFlow_ &= static_cast<THWFlowOptions>(~(hwfUseRTS | hwfRequireCTS));
        line_.hardwareFlow = false;
        SetRTS(false);
    }
}

// ---------------------------------------------------------------- free functions

EDeviceAccessDenied::EDeviceAccessDenied(std::string devicePath)
    : EInOutError(ErrorMessage(ecPermissionDenied), -ecPermissionDenied),
      devicePath_(std::move(devicePath)) {}

TPortAvailability PortAvailability(std::uint16_t comNumber) {
    if (comNumber == 0) return TPortAvailability::Absent;
    NativeHandle fd = platform::kNoHandle;
    // Without the kernel's exclusive flag: set and cleared again here, it would also clear
    // the flag of a program that holds the port and that root was let past.
    const std::int32_t result = OpenSerialDevice(ComDevicePath(comNumber), fd, /*exclusive=*/false);
    switch (result) {
        case 0:
            CloseSerialDevice(fd, /*exclusive=*/false);
            return TPortAvailability::Free;
        case ecAccessDenied:
            return TPortAvailability::Held;
        case ecPermissionDenied:
            return TPortAvailability::NoAccess;
        default:
            return TPortAvailability::Absent;
    }
}

bool IsPortPresent(std::uint16_t comNumber) {
    const TPortAvailability a = PortAvailability(comNumber);
    return a == TPortAvailability::Free || a == TPortAvailability::Held;
}

}  // namespace zp
