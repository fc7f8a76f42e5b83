#include "cli/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace cli {

namespace {

// The pipe's write end, for the handler: a write is one of the few calls a handler may make.
volatile std::sig_atomic_t wakeFd = -1;

void OnSignal(int) {
    const int fd = wakeFd;
    if (fd < 0) return;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
}

}  // namespace

struct InterruptWatch::System {
    int fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
};

InterruptWatch::InterruptWatch(std::function<void()> stop)
    : stop_(std::move(stop)), system_(std::make_unique<System>()) {
    if (::pipe2(system_->fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    system_->notifier = std::make_unique<QSocketNotifier>(system_->fds[0], QSocketNotifier::Read);
    QObject::connect(system_->notifier.get(), &QSocketNotifier::activated, [this] { Arrived(); });
    wakeFd = system_->fds[1];
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // The first signal is this handler's; the next one has its default effect and ends the
    // process, whatever the job is doing.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    ::sigaction(SIGINT, &action, &system_->previousInt);
    ::sigaction(SIGTERM, &action, &system_->previousTerm);
}

InterruptWatch::~InterruptWatch() {
    if (system_->fds[0] < 0) return;
    ::sigaction(SIGINT, &system_->previousInt, nullptr);
    ::sigaction(SIGTERM, &system_->previousTerm, nullptr);
    wakeFd = -1;
    system_->notifier.reset();
    ::close(system_->fds[0]);
    ::close(system_->fds[1]);
}

void InterruptWatch::Arrived() {
    char bytes[16];
    while (::read(system_->fds[0], bytes, sizeof bytes) > 0) {
    }
    if (interrupted_) return;
    interrupted_ = true;
    if (stop_) stop_();
}

}  // namespace cli
