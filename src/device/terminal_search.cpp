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

std::string AccessDeniedNote(const DeniedPort& port) {
    return "COM" + std::to_string(port.comNumber) + " (" + port.device +
           ") exists, but this user may not open it. Access to it is needed, for example "
           "membership of the group \"dialout\" (log in again after joining it).";
}

void SerialLink::NoteDenied(int comNumber) {
    const DeniedPort port{comNumber, zp::ComDevicePath(static_cast<unsigned>(comNumber))};
    if (std::find(denied_.begin(), denied_.end(), port) == denied_.end()) denied_.push_back(port);
}

std::uint8_t SerialLink::FindTerminal() {
    abandoned_ = false;
    denied_.clear();
    state_.HardwareCode = 0;
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
                NoteDenied(n);
                break;
            case zp::TPortAvailability::Absent:
                break;
        }
    }

    state_.ComSearchActive = true;
    while (state_.ComSearchActive && !abandoned_) {
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
            if (availability == zp::TPortAvailability::NoAccess) NoteDenied(n);
            if (availability == zp::TPortAvailability::Absent ||
                availability == zp::TPortAvailability::NoAccess) {
                n = 0;
                continue;
            }
            try {
                port_.SetOpen(true);
                const std::uint8_t code = ProbePort();
                state_.HardwareCode = code;
                if (code != 0) {
                    SaveRememberedPort(programDir_, n);
                    timers_.comSearch.SetEnabled(false);
                    state_.ComSearchActive = false;
                    return code;
                }
                ClosePort();
                n = 0;
            } catch (const zp::EDeviceAccessDenied&) {
                ClosePort();
                NoteDenied(n);
                n = 0;
            } catch (const zp::EBadId&) {
                ClosePort();
                n = 0;
            } catch (...) {
                // Held by another program, or it failed in a way that may pass: it is
                // tried again in the next pass.
                ClosePort();
            }
        }
        if (abandoned_) break;
        if (!timers_.comSearch.Enabled() && state_.ComSearchActive) {
            timers_.comSearch.SetInterval(timings_.searchRetryMs);
            timers_.comSearch.SetEnabled(true);
        }
        if (tried == 0) {
            timers_.comSearch.SetEnabled(false);
            state_.ComSearchActive = false;
        } else if (state_.ComSearchActive) {
            platform::ProcessMessagesUntil([this] { return !state_.ComSearchActive || abandoned_; },
                                           timings_.retryPassPauseMs);
        }
    }
    if (abandoned_) {
        timers_.comSearch.SetEnabled(false);
        state_.ComSearchActive = false;
        ClosePort();
    }
    return static_cast<std::uint8_t>(state_.HardwareCode);
}

}  // namespace device
