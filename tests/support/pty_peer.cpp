#include "pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#include "platform/message_wait.h"

namespace serialtest {

PtyPeer::PtyPeer(const std::string& folder, unsigned comNumber, bool packetMode) : packetMode_(packetMode) {
    char name[128];
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    slavePath_ = name;
    // Raw from the start, so that nothing written before the port opens is echoed back.
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (packetMode_) {
        int on = 1;
        ::ioctl(master_, TIOCPKT, &on);
    }
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    linkPath_ = dir + "COM" + std::to_string(comNumber);
    std::filesystem::remove(linkPath_);
    std::filesystem::create_symlink(slavePath_, linkPath_);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    reader_ = std::thread([this] { ReadLoop(); });
}

PtyPeer::~PtyPeer() {
    JoinWriter();
    StopReader();
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    if (stopFd_ >= 0) ::close(stopFd_);
    std::error_code ignored;
    std::filesystem::remove(linkPath_, ignored);
}

void PtyPeer::StopReader() {
    if (!reader_.joinable()) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stopFd_, &one, sizeof one);
    reader_.join();
}

void PtyPeer::ReadLoop() {
    char buffer[4096];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
            // No slave open (between tests or after a close): wait for the stop signal.
            pollfd stop = {stopFd_, POLLIN, 0};
            ::poll(&stop, 1, 20);
            if (stop.revents) return;
            continue;
        }
        {
            std::lock_guard<std::mutex> g(lock_);
            if (packetMode_) {
                if (buffer[0] == TIOCPKT_DATA) {
                    received_.append(buffer + 1, static_cast<std::size_t>(n - 1));
                } else {
                    if (buffer[0] & TIOCPKT_STOP) outputStopped_ = true;
                    if (buffer[0] & TIOCPKT_START) outputStopped_ = false;
                }
            } else {
                received_.append(buffer, static_cast<std::size_t>(n));
            }
        }
        changed_.notify_all();
        platform::WakeMessageWait();
    }
}

void PtyPeer::Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p = {master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
            continue;
        }
        throw std::runtime_error("write to the pseudo-terminal failed");
    }
}

void PtyPeer::StartWriting(std::string bytes) {
    JoinWriter();
    writer_ = std::thread([this, bytes = std::move(bytes)] { Write(bytes); });
}

void PtyPeer::JoinWriter() {
    if (writer_.joinable()) writer_.join();
}

std::string PtyPeer::Received() const {
    std::lock_guard<std::mutex> g(lock_);
    return received_;
}

bool PtyPeer::WaitForBytes(std::size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
}

bool PtyPeer::WaitForOutputStopped(int timeoutMs) const {
    std::unique_lock<std::mutex> g(lock_);
    return changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return outputStopped_; });
}

void PtyPeer::CloseMaster() {
    StopReader();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
    // The slave we kept would keep the line alive for the port; let it go too.
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    // A one-millisecond tick keeps re-checking conditions that change without an event.
    QTimer recheck;
    recheck.start(1);
    return platform::ProcessMessagesUntil(done, timeoutMs);
}

}  // namespace serialtest
