#include "comm/serial/com_device_path.h"

#include <cstdlib>

namespace zp {

std::string ComDevicePath(unsigned comNumber) {
    if (comNumber == 0) return {};
    const char* folder = std::getenv("ARVEX_COM_PORTS");
    if (folder != nullptr && *folder != '\0') {
        std::string path = folder;
        if (path.back() != '/') path += '/';
        return path + "COM" + std::to_string(comNumber);
    }
    const unsigned index = (comNumber - 1) % 32;
    switch ((comNumber - 1) / 32) {
        case 0:
            return "/dev/ttyS" + std::to_string(index);
        case 1:
            return "/dev/ttyUSB" + std::to_string(index);
        case 2:
            return "/dev/ttyACM" + std::to_string(index);
        default:
            return {};
    }
}

}  // namespace zp
