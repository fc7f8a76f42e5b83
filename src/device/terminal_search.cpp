// FindTerminal: the candidate list from the remembered port, and the passes over it.
#include "device/terminal_search.h"

#include <algorithm>

#include "comm/serial/com_device_path.h"
#include "device/remembered_port.h"
#include "platform/message_wait.h"

namespace device {

std::vector<int> SearchOrder(int start) {
    start = std::clamp(start, 1, kHighestComPort);
    std::vector<int> order;
    order.reserve(kHighestComPort);
    for (int i = 0; i < kHighestComPort; ++i) {
        int n = start + i;
        if (n > kHighestComPort) n -= kHighestComPort;
        order.push_back(n);
    }
    return order;
}

std::string PortName(const ComPortDevice& port) {
    return "COM" + std::to_string(port.comNumber) + " (" + port.device + ")";
}

std::string AccessDeniedNote(const ComPortDevice& port) {
    return PortName(port) +
           " exists, but this user may not open it. Access to it is needed, for example "
           "membership of the group \"dialout\" (log in again after joining it).";
}

std::string PortBusyNote(const ComPortDevice& port) {
    return PortName(port) + " is in use by another program; close that program and try again.";
}

std::string FoundOnText(const ComPortDevice& port) { return "Found on " + PortName(port); }

void SerialLink::Note(std::vector<ComPortDevice>& list, int comNumber) {
    const ComPortDevice port{comNumber, zp::ComDevicePath(static_cast<unsigned>(comNumber))};
    if (std::find(list.begin(), list.end(), port) == list.end()) list.push_back(port);
}

std::uint8_t SerialLink::FindTerminal() {
    abandoned_ = false;
    report_ = {};
    hardwareCode_ = 0;
    // Every candidate is opened afresh, also the one a previous search left open.
    ClosePort();

    std::vector<int> candidates;
    for (const int n : SearchOrder(ReadRememberedPort(programDir_))) {
        platform::ProcessPendingMessages();
        if (abandoned_) return 0;
        switch (zp::PortAvailability(static_cast<std::uint16_t>(n))) {
            case zp::TPortAvailability::Free:
            case zp::TPortAvailability::Held:
                candidates.push_back(n);
                break;
            case zp::TPortAvailability::NoAccess:
                // Trying again would not help: the user needs to be given access.
                Note(report_.denied, n);
                break;
            case zp::TPortAvailability::Absent:
                break;
        }
    }

    comSearchActive_ = true;
    while (comSearchActive_ && !abandoned_) {
        platform::ProcessPendingMessages();
        int tried = 0;
        for (int& n : candidates) {
            platform::ProcessPendingMessages();
            if (abandoned_) break;
            if (n == 0) continue;
            ++tried;
            const auto com = static_cast<std::uint16_t>(n);
            port_.SetComNumber(com);
            const zp::TPortAvailability availability = zp::PortAvailability(com);
            if (availability == zp::TPortAvailability::NoAccess) Note(report_.denied, n);
            if (availability == zp::TPortAvailability::Absent ||
                availability == zp::TPortAvailability::NoAccess) {
                n = 0;
                continue;
            }
            try {
                port_.SetOpen(true);
                std::erase_if(report_.busy,
                              [n](const ComPortDevice& p) { return p.comNumber == n; });
                const std::uint8_t code = ProbePort();
                hardwareCode_ = code;
                if (code != 0) {
                    SaveRememberedPort(programDir_, n);
                    report_.found = ComPortDevice{n, port_.DevicePath()};
                    comSearchTimer_.SetEnabled(false);
                    comSearchActive_ = false;
                    return code;
                }
                ClosePort();
                n = 0;
            } catch (const zp::EDeviceAccessDenied&) {
                ClosePort();
                Note(report_.denied, n);
                n = 0;
            } catch (const zp::EBadId&) {
                ClosePort();
                n = 0;
            } catch (const zp::EAlreadyOpen&) {
                // Held by another program: tried again in the next pass, and named if it is
                // still held when the search gives up.
                ClosePort();
                Note(report_.busy, n);
            } catch (...) {
                // Held by another program, or it failed in a way that may pass: it is
                // tried again in the next pass.
                ClosePort();
            }
        }
        if (abandoned_) break;
        if (!comSearchTimer_.Enabled() && comSearchActive_) {
            comSearchTimer_.SetInterval(timings_.searchRetryMs);
            comSearchTimer_.SetEnabled(true);
        }
        if (tried == 0) {
            comSearchTimer_.SetEnabled(false);
            comSearchActive_ = false;
        } else if (comSearchActive_) {
            platform::ProcessMessagesUntil([this] { return !comSearchActive_ || abandoned_; },
                                           timings_.retryPassPauseMs);
        }
    }
    if (abandoned_) {
        comSearchTimer_.SetEnabled(false);
        comSearchActive_ = false;
        ClosePort();
    }
    return static_cast<std::uint8_t>(hardwareCode_);
}

}  // namespace device
