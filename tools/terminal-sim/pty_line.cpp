#include "pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace termsim {

namespace fs = std::filesystem;

namespace {

std::string Reason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

// A link left by a simulator that did not end cleanly points at a device that is gone.
bool IsStaleLink(const fs::path& link) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec))) return false;
    return !fs::exists(link, ec) && !ec;
}

}  // namespace

std::unique_ptr<PtyLine> PtyLine::Open(const std::string& folder, unsigned comNumber,
                                       std::string& error) {
    if (folder.empty()) {
        error = "no ports folder given";
        return nullptr;
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the ports folder " + folder + ": " + ec.message();
        return nullptr;
    }
    std::unique_ptr<PtyLine> line(new PtyLine);
    termios raw{};
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&raw, B19200);
    ::cfsetospeed(&raw, B19200);
    int slave = -1;
    char name[256] = {};
    if (::openpty(&line->master_, &slave, name, &raw, nullptr) != 0) {
        error = Reason("cannot open a pseudo-terminal", errno);
        return nullptr;
    }
    ::fcntl(line->master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(line->master_, F_SETFL, ::fcntl(line->master_, F_GETFL) | O_NONBLOCK);
    line->devicePath_ = name;
    line->watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (line->watch_ >= 0) ::inotify_add_watch(line->watch_, name, IN_OPEN);
    // Nobody holds the slave until the program opens it, as with a real port.
    ::close(slave);

    const fs::path link = fs::path(folder) / ("COM" + std::to_string(comNumber));
    if (IsStaleLink(link)) fs::remove(link, ec);
    if (::symlink(name, link.c_str()) != 0) {
        const int e = errno;
        error = e == EEXIST ? link.string() + " exists already (another simulator or device?)"
                            : Reason("cannot create " + link.string(), e);
        return nullptr;
    }
    line->linkPath_ = link.string();
    line->linkPublished_ = true;
    return line;
}

PtyLine::~PtyLine() {
    Unplug();
    if (watch_ >= 0) ::close(watch_);
}

void PtyLine::DrainOpenEvents() const {
    if (watch_ < 0) return;
    char events[1024];
    while (::read(watch_, events, sizeof events) > 0) {
    }
}

bool PtyLine::SlaveOpen() const {
    if (master_ < 0) return false;
    pollfd p{master_, POLLIN, 0};
    return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void PtyLine::DiscardUnread() const {
    // Bytes the master wrote wait in the slave's input across a close and a reopen, where
    // a real port would have lost them; only an opener of the slave can flush them. Fails
    // harmlessly when the program has the port open and locked again already.
    const int slave = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) return;
    ::tcflush(slave, TCIFLUSH);
    ::close(slave);
}

bool PtyLine::Hold(std::string& error) {
    if (held_ >= 0) return true;
    held_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (held_ < 0 || ::flock(held_, LOCK_EX | LOCK_NB) != 0) {
        error = Reason("cannot hold " + devicePath_, errno);
        return false;
    }
    ::ioctl(held_, TIOCEXCL);
    return true;
}

void PtyLine::Unplug() {
    if (held_ >= 0) {
        ::ioctl(held_, TIOCNXCL);
        ::close(held_);
        held_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    // Only our own link: a newer simulator may have taken the name meanwhile.
    if (linkPublished_) {
        std::error_code ec;
        if (fs::read_symlink(linkPath_, ec) == devicePath_) fs::remove(linkPath_, ec);
        linkPublished_ = false;
    }
}

}  // namespace termsim
