#include "comm/serial/serial_device_io.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "comm/serial/posix/status_wake_signal.h"
#include "comm/system_errors.h"

namespace zp {

namespace {

// What the system says of a device that went away under an open descriptor (an adapter
// unplugged, the far end of a pseudo-terminal closed).
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

}  // namespace

NativeHandle CreateReadWake(std::int32_t& code) {
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) code = SystemErrorCode(errno);
    return fd;
}

void SignalReadWake(NativeHandle wake) {
    if (wake < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake, &one, sizeof one);
}

void CloseReadWake(NativeHandle wake) {
    if (wake >= 0) ::close(wake);
}

InputReady WaitForInput(NativeHandle device, NativeHandle wake, int timeoutMs) {
    pollfd fds[2] = {{device, POLLIN, 0}, {wake, POLLIN, 0}};
    const int n = ::poll(fds, 2, timeoutMs);
    if (n < 0) return errno == EINTR ? InputReady::No : InputReady::WaitFailed;
    if (fds[1].revents & POLLIN) {
        std::uint64_t value;
        [[maybe_unused]] ssize_t drained = ::read(wake, &value, sizeof value);
    }
    if (n == 0 || fds[0].revents == 0) return InputReady::No;
    if (fds[0].revents & POLLNVAL) return InputReady::Closed;
    return (fds[0].revents & (POLLHUP | POLLERR)) ? InputReady::OrHungUp : InputReady::Yes;
}

std::ptrdiff_t ReadDevice(NativeHandle device, std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(device, buffer, size);
        if (got > 0) return got;
        if (got < 0 && errno == EINTR) continue;
        if (got == 0 || errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        // An error such as EIO or ENXIO: the device went away.
        return kDeviceReadFailed;
    }
}

std::ptrdiff_t WriteDevice(NativeHandle device, const std::uint8_t* bytes, std::size_t size) {
    for (;;) {
        const ssize_t n = ::write(device, bytes, size);
        if (n > 0) return n;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kDeviceFull;
        if (n < 0 && errno == EBADF) return kDeviceClosed;
        return kDeviceWriteFailed;
    }
}

bool WaitForOutputRoom(NativeHandle device, int timeoutMs) {
    pollfd p = {device, POLLOUT, 0};
    ::poll(&p, 1, timeoutMs);
    return !((p.revents & (POLLERR | POLLHUP)) && !(p.revents & POLLOUT));
}

std::int32_t PurgeDevice(NativeHandle device, HeldBytes which) {
    if (::tcflush(device, which == HeldBytes::Received ? TCIFLUSH : TCOFLUSH) == 0) return 0;
    return DeviceGone(errno) ? 0 : SystemErrorCode(errno);
}

// The wait is TIOCMIWAIT, which on most drivers only a signal ends (status_wake_signal.h).

void PrepareModemLineWaits() { StatusWakeSignal(); }

bool AcceptModemLineWaitInterrupts() {
    const int wake = StatusWakeSignal();
    if (wake == 0) return false;
    // The thread that opened the port may block it; this thread must receive it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, wake);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return true;
}

bool ModemLineWaitsInterruptible() { return StatusWakeSignalIsOurs(); }

ModemLineWait WaitForModemLines(NativeHandle device) {
    if (::ioctl(device, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_RNG) == 0)
        return ModemLineWait::Changed;
    // A driver that cannot wait on its lines is read at intervals instead.
    return errno == EINTR ? ModemLineWait::Interrupted : ModemLineWait::Unsupported;
}

void InterruptModemLineWait(std::thread& statusThread) {
    pthread_kill(statusThread.native_handle(), StatusWakeSignal());
}

}  // namespace zp
