#include "program_side.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace simtest {

ProgramSide::ProgramSide(const std::string& port) {
    fd_ = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        openError_ = errno;
        Close();
        return;
    }
    if (fd_ < 0) {
        openError_ = errno;
        return;
    }
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
}

ProgramSide::~ProgramSide() { Close(); }

void ProgramSide::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void ProgramSide::Write(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

Bytes ProgramSide::Read(std::size_t count, int timeoutMs) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        uint8_t buffer[256];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n > 0) {
            got.insert(got.end(), buffer, buffer + n);
        } else if (n == 0 || errno != EAGAIN) {
            break;
        }
    }
    return got;
}

Bytes ProgramSide::Exchange(const Bytes& frame, std::size_t replyLength) {
    Write(frame);
    return Read(replyLength);
}

bool ProgramSide::WaitForHangUp(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & (POLLHUP | POLLERR));
}

bool Activity::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), done);
}

}  // namespace simtest
