#pragma once
// How line settings become a termios: apart from serial_device.h so that <termios.h> stays
// out of the component's public headers.
#include <termios.h>

#include <cstdint>

#include "comm/serial/serial_device.h"

namespace zp {

// Turns `t` (the device's current termios) into a raw binary line with `line`'s settings:
// 0, -2002 for a rate the table lacks, -2003 for a data-bit count outside 5 to 8. A rate
// that needs the arbitrary-rate interface is left at B38400 here.
std::int32_t MakeLineTermios(const LineSettings& line, termios& t);

}  // namespace zp
