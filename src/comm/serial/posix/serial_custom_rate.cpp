#include "comm/serial/posix/serial_custom_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "comm/zp_errors.h"

namespace zp {

std::int32_t SetCustomRate(int fd, std::int32_t baud) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return ecBaudRate;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(baud);
    t.c_ospeed = static_cast<speed_t>(baud);
    if (::ioctl(fd, TCSETS2, &t) != 0) return ecBaudRate;
    // Some drivers store the nearest rate they can run. Within 2 % (what the framing of a
    // character tolerates between the two ends) that is the rate asked for; beyond, the
    // driver cannot run it.
    const std::int64_t off = static_cast<std::int64_t>(CurrentRate(fd)) - baud;
    return (off < 0 ? -off : off) * 50 <= baud ? 0 : ecBaudRate;
}

std::int32_t CurrentRate(int fd) {
    termios2 t{};
    if (::ioctl(fd, TCGETS2, &t) != 0) return 0;
    return static_cast<std::int32_t>(t.c_ospeed);
}

}  // namespace zp
