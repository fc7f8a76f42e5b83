#pragma once
// The serial device itself: opening it with an exclusive hold, line settings through
// termios, modem lines. Results are the components' codes (zp_errors.h).
#include <cstdint>
#include <string>

namespace zp {

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
// second opener (this process or another) fails with -5. A missing device is -2.
// `exclusive` also sets the kernel's exclusive-open flag for programs that take no lock.
std::int32_t OpenSerialDevice(const std::string& path, int& fd, bool exclusive);
void CloseSerialDevice(int fd, bool exclusive);

// Raw 8-bit line with the given settings; -2002 for a rate termios has no speed for,
// -2003 for a data-bit count outside 5 to 8.
std::int32_t ApplyLineSettings(int fd, const LineSettings& line);

// Sets or clears DTR or RTS. A device without modem lines (a pseudo-terminal) accepts
// it silently.
std::int32_t SetModemLine(int fd, bool dtr, bool on);

// CTS, DSR, ring and DCD as the modem status byte; 0 when the device has no modem lines.
std::uint8_t ReadModemLines(int fd);
// False for a device without modem lines (a pseudo-terminal).
bool HasModemLines(int fd);

}  // namespace zp
