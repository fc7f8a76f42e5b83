#include "comm/serial/serial_device.h"

#include "comm/zp_base_dispatcher.h"

namespace zp {

std::uint16_t LineErrorsBetween(const LineCounters& before, const LineCounters& after) {
    std::uint16_t errors = 0;
    if (after.frame != before.frame) errors |= leFrame;
    if (after.overrun != before.overrun) errors |= leOverrun;
    if (after.parity != before.parity) errors |= leParity;
    if (after.brk != before.brk) errors |= leBreak;
    if (after.bufferOverrun != before.bufferOverrun) errors |= leRxOver;
    return errors;
}

}  // namespace zp
