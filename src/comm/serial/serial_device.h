#pragma once
// The serial device itself: opening it with an exclusive hold, line settings, modem
// lines, the driver's error counters. Results are the components' codes (zp_errors.h).
#include <cstdint>
#include <string>

#include "platform/native_handle.h"

namespace zp {

using platform::NativeHandle;

enum TParity : std::uint8_t { pNone, pOdd, pEven, pMark, pSpace };

struct LineSettings {
    std::int32_t baud = 19200;
    TParity parity = pNone;
    int dataBits = 8;
    int stopBits = 1;
    bool hardwareFlow = false;      // RTS/CTS
    bool softwareReceive = false;   // XON/XOFF we send
    bool softwareTransmit = false;  // XON/XOFF we obey
    std::uint8_t xonChar = 0x11;
    std::uint8_t xoffChar = 0x13;
};

// Opens `path` for reading and writing without blocking and takes an exclusive hold, so a
// second opener (this process or another) fails with -5. A missing device is -2, one this
// user may not open -13 (ecPermissionDenied).
// `exclusive` also sets the kernel's exclusive-open flag for programs that take no lock.
std::int32_t OpenSerialDevice(const std::string& path, NativeHandle& fd, bool exclusive);
void CloseSerialDevice(NativeHandle fd, bool exclusive);

// Asks the driver to hand received bytes on at once instead of collecting them first
// (USB adapters otherwise hold them for their latency timer, 16 ms on the common ones).
// A driver that has no such mode, or refuses, is left as it is.
void RequestLowLatency(NativeHandle fd);

// Raw 8-bit line with the given settings; -2002 for a rate the driver cannot run,
// -2003 for a data-bit count outside 5 to 8. Five data bits go with one and a half stop
// bits. Besides the usual rates up to 1000000, 14400, 28800, 56000, 128000 and 256000
// where the driver takes them.
std::int32_t ApplyLineSettings(NativeHandle fd, const LineSettings& line);

// Sets or clears DTR or RTS. A device without modem lines (a pseudo-terminal) accepts
// it silently.
std::int32_t SetModemLine(NativeHandle fd, bool dtr, bool on);

// CTS, DSR, ring and DCD as the modem status byte; 0 when the device has no modem lines.
std::uint8_t ReadModemLines(NativeHandle fd);
// False for a device without modem lines (a pseudo-terminal).
bool HasModemLines(NativeHandle fd);

// The driver's counts of line errors, where it keeps them (serial UARTs and most USB
// adapters; pseudo-terminals do not).
struct LineCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufferOverrun = 0;
};
bool ReadLineCounters(NativeHandle fd, LineCounters& counters);
// The line error bits (LineError) for what the counters show between two readings.
std::uint16_t LineErrorsBetween(const LineCounters& before, const LineCounters& after);

}  // namespace zp
