#include "comm/serial/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "comm/serial/posix/serial_custom_rate.h"
#include "comm/serial/posix/serial_line_termios.h"
#include "comm/system_errors.h"
#include "comm/zp_base_dispatcher.h"
#include "comm/zp_errors.h"

namespace zp {

namespace {

bool SpeedFor(std::int32_t baud, speed_t& speed) {
    struct Rate {
        std::int32_t baud;
        speed_t speed;
    };
    static constexpr Rate kRates[] = {
        {50, B50},         {75, B75},         {110, B110},         {134, B134},
        {150, B150},       {200, B200},       {300, B300},         {600, B600},
        {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    };
    for (const auto& r : kRates) {
        if (r.baud == baud) {
            speed = r.speed;
            return true;
        }
    }
    return false;
}

bool IsCustomRate(std::int32_t baud) {
    return baud == 14400 || baud == 28800 || baud == 56000 || baud == 128000 || baud == 256000;
}

bool NoModemLines(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS; }

}  // namespace

std::int32_t OpenSerialDevice(const std::string& path, NativeHandle& fd, bool exclusive) {
    fd = -1;
    if (path.empty()) return ecFileNotFound;
    const int d = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d < 0) {
        // A serial node without hardware behind it (an empty ttyS slot) fails with EIO: to
        // the caller that is a port that does not exist.
        if (errno == EIO) return ecFileNotFound;
        if (errno == EACCES || errno == EPERM) return ecPermissionDenied;
        return SystemErrorCode(errno);
    }
    // flock holds against every other opener that takes it, root included.
    if (::flock(d, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(d);
        return error == EWOULDBLOCK ? ecAccessDenied : SystemErrorCode(error);
    }
    termios t{};
    if (::tcgetattr(d, &t) != 0) {
        const int error = errno;
        ::close(d);
        return error == EIO ? ecFileNotFound : SystemErrorCode(error);
    }
    if (exclusive) ::ioctl(d, TIOCEXCL);
    fd = d;
    return 0;
}

void CloseSerialDevice(NativeHandle fd, bool exclusive) {
    if (fd < 0) return;
    if (exclusive) ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

void RequestLowLatency(NativeHandle fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
    if (serial.flags & ASYNC_LOW_LATENCY) return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

std::int32_t MakeLineTermios(const LineSettings& line, termios& t) {
    speed_t speed;
    const bool custom = !SpeedFor(line.baud, speed);
    if (custom && !IsCustomRate(line.baud)) return ecBaudRate;
    if (custom) speed = B38400;  // replaced by the rate itself once set
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    switch (line.dataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return ecByteSize;
    }
    switch (line.parity) {
        case pNone:
            break;
        case pOdd:
            t.c_cflag |= PARENB | PARODD;
            break;
        case pEven:
            t.c_cflag |= PARENB;
            break;
        case pMark:
            t.c_cflag |= PARENB | PARODD | CMSPAR;
            break;
        case pSpace:
            t.c_cflag |= PARENB | CMSPAR;
            break;
    }
    // With five data bits a UART sends one and a half stop bits for this setting.
    if (line.stopBits == 2 || line.dataBits == 5) t.c_cflag |= CSTOPB;
    t.c_cflag |= CLOCAL | CREAD;
    if (line.hardwareFlow) t.c_cflag |= CRTSCTS;
    // Parity is not checked and nothing is stripped: the link carries binary frames.
    t.c_iflag &= ~(INPCK | ISTRIP | IXON | IXOFF | IXANY);
    if (line.softwareTransmit) t.c_iflag |= IXON;
    if (line.softwareReceive) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = line.xonChar;
    t.c_cc[VSTOP] = line.xoffChar;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return 0;
}

std::int32_t ApplyLineSettings(NativeHandle fd, const LineSettings& line) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return SystemErrorCode(errno);
    const std::int32_t made = MakeLineTermios(line, t);
    if (made != 0) return made;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return SystemErrorCode(errno);
    return IsCustomRate(line.baud) ? SetCustomRate(fd, line.baud) : 0;
}

std::int32_t SetModemLine(NativeHandle fd, bool dtr, bool on) {
    int bits = dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return 0;
    return NoModemLines(errno) ? 0 : ecBadArgument;
}

bool HasModemLines(NativeHandle fd) {
    int bits = 0;
    return ::ioctl(fd, TIOCMGET, &bits) == 0;
}

std::uint8_t ReadModemLines(NativeHandle fd) {
    int bits = 0;
    if (::ioctl(fd, TIOCMGET, &bits) != 0) return 0;
    std::uint8_t status = 0;
    if (bits & TIOCM_CTS) status |= msCTS;
    if (bits & TIOCM_DSR) status |= msDSR;
    if (bits & TIOCM_RI) status |= msRing;
    if (bits & TIOCM_CD) status |= msDCD;
    return status;
}

bool ReadLineCounters(NativeHandle fd, LineCounters& counters) {
    serial_icounter_struct c{};
    if (::ioctl(fd, TIOCGICOUNT, &c) != 0) return false;
    counters = {c.frame, c.overrun, c.parity, c.brk, c.buf_overrun};
    return true;
}

}  // namespace zp
