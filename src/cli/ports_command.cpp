#include "cli/ports_command.h"

#include <algorithm>
#include <cstdlib>

#include "cli/command_runners.h"
#include "comm/serial/com_device_path.h"
#include "device/terminal_search.h"

namespace cli {

std::vector<PortEntry> ExistingPorts() {
    std::vector<PortEntry> ports;
    for (int n = 1; n <= device::kHighestComPort; ++n) {
        const auto com = static_cast<unsigned>(n);
        const std::string device = zp::ComDevicePath(com);
        if (device.empty()) continue;
        const zp::TPortAvailability availability =
            zp::PortAvailability(static_cast<std::uint16_t>(com));
        if (availability != zp::TPortAvailability::Absent)
            ports.push_back({com, device, availability});
    }
    return ports;
}

std::string AvailabilityText(zp::TPortAvailability availability) {
    switch (availability) {
        case zp::TPortAvailability::Free:
            return "present";
        case zp::TPortAvailability::Held:
            return "in use by another program";
        case zp::TPortAvailability::NoAccess:
            return "not accessible to this user";
        case zp::TPortAvailability::Absent:
            break;
    }
    return "absent";
}

int RunPorts(Context& context) {
    const std::vector<PortEntry> ports = ExistingPorts();
    if (ports.empty()) {
        const char* folder = std::getenv("ARVEX_COM_PORTS");
        context.console.Error(
            folder && *folder
                ? "No serial ports: the folder " + std::string(folder) +
                      " (ARVEX_COM_PORTS) holds no COMn that is a serial device."
                : std::string("No serial ports: none of /dev/ttyS0-31 (COM1-32), "
                              "/dev/ttyUSB0-31 (COM33-64) and /dev/ttyACM0-31 (COM65-96) "
                              "is a serial device."));
        return kExitOk;
    }
    size_t width = 0;
    for (const PortEntry& p : ports) width = std::max(width, p.device.size());
    for (const PortEntry& p : ports) {
        std::string com = "COM" + std::to_string(p.comNumber);
        com.resize(std::max<size_t>(com.size(), 7), ' ');
        std::string device = p.device;
        device.resize(width + 2, ' ');
        context.console.Print(com + device + AvailabilityText(p.availability));
    }
    for (const PortEntry& p : ports)
        if (p.availability == zp::TPortAvailability::NoAccess)
            context.console.Error(
                device::AccessDeniedNote({static_cast<int>(p.comNumber), p.device}));
    return kExitOk;
}

}  // namespace cli
