#pragma once
// arvex ports: the serial ports that exist and what opening each one meets.
#include <string>
#include <vector>

#include "comm/serial/zp_com_port.h"

namespace cli {

struct PortEntry {
    unsigned comNumber;
    std::string device;
    zp::TPortAvailability availability;  // never Absent
};

// Every COM number the port search covers whose device exists, in number order.
std::vector<PortEntry> ExistingPorts();

std::string AvailabilityText(zp::TPortAvailability availability);

}  // namespace cli
