#pragma once
// Which device a COM port number names on this system.
#include <cstdint>
#include <string>

namespace zp {

// With ARVEX_COM_PORTS naming a folder, COM n is "<folder>/COMn" and nothing else counts;
// otherwise COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31.
// Empty for 0 and for numbers that name no device.
std::string ComDevicePath(unsigned comNumber);

}  // namespace zp
