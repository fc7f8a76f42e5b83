#pragma once
// The order in which the search tries the COM ports, and what the user is told about
// ports that exist but may not be opened.
#include <string>
#include <vector>

#include "device/serial_link.h"

namespace device {

inline constexpr int kHighestComPort = 256;

// start, start + 1, ..., 256, 1, ..., start - 1; `start` is clamped to 1..256.
std::vector<int> SearchOrder(int start);

// "COM5 (/dev/ttyUSB0)".
std::string PortName(const ComPortDevice& port);
// One line naming the device and the access the user needs to it.
std::string AccessDeniedNote(const ComPortDevice& port);
// One line naming the device that another program holds.
std::string PortBusyNote(const ComPortDevice& port);
// "Found on COM5 (/dev/ttyUSB0)".
std::string FoundOnText(const ComPortDevice& port);

}  // namespace device
