#include "terminal_simulator.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

#include "name_table.h"
#include "result_files.h"

namespace termsim {

namespace {

constexpr std::array<std::string_view, 6> kEndNames = {
    "stopped", "run complete", "port closed during the run", "idle", "unplugged", "line failed",
};

// While nobody holds the line an open is announced; this is only a safety net.
constexpr std::chrono::milliseconds kRecheckClosedLine{250};
constexpr std::size_t kReadChunk = 4096;
// A device in normal operation: a status line over and over. No byte of it can be taken
// for a hardware code or an FF answer.
constexpr std::string_view kStreamLine = "T1 0000 12.5 OK\r\n";
constexpr std::chrono::milliseconds kUnpacedStreamPeriod{10};

timespec Until(TimePoint now, TimePoint at) {
    const auto ns = std::max<std::chrono::nanoseconds::rep>(
        0, std::chrono::duration_cast<std::chrono::nanoseconds>(at - now).count());
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

std::string_view EndReasonName(EndReason reason) { return NameOf(kEndNames, reason); }

TerminalSimulator::TerminalSimulator(SimOptions options)
    : options_(std::move(options)),
      model_(std::make_unique<TerminalModel>(options_.model, Clock::now())) {
    if (options_.paceBaud > 0)
        byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / options_.paceBaud);
}

TerminalSimulator::~TerminalSimulator() {
    Stop();
    line_.reset();
}

bool TerminalSimulator::Open(std::string& error) {
    if (line_) return true;
    line_ = PtyLine::Open(options_.portsFolder, options_.comNumber, error);
    if (!line_) return false;
    if (options_.holdPort && !line_->Hold(error)) {
        line_.reset();
        return false;
    }
    portPath_ = line_->LinkPath();
    devicePath_ = line_->DevicePath();
    return true;
}

bool TerminalSimulator::Start(std::string& error) {
    if (thread_.joinable()) return true;
    if (!Open(error)) return false;
    stopEvent_ = ::eventfd(0, EFD_CLOEXEC);
    if (stopEvent_ < 0) {
        error = "cannot create an event descriptor";
        return false;
    }
    thread_ = std::thread([this] { Run(stopEvent_); });
    return true;
}

void TerminalSimulator::Stop() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stopEvent_, &one, sizeof one);
        thread_.join();
    }
    if (stopEvent_ >= 0) ::close(stopEvent_);
    stopEvent_ = -1;
}

SimResults TerminalSimulator::Results() const {
    std::lock_guard<std::mutex> g(lock_);
    model_->Advance(Clock::now());
    return model_->Results();
}

bool TerminalSimulator::WaitForRunComplete(std::chrono::milliseconds timeout, unsigned runs) const {
    std::unique_lock<std::mutex> g(lock_);
    changed_.wait_for(g, timeout,
                      [this, runs] { return completeRuns_.load() >= runs || ended_.load(); });
    return completeRuns_.load() >= runs;
}

void TerminalSimulator::Notify() {
    changed_.notify_all();
    if (options_.onActivity) options_.onActivity();
}

EndReason TerminalSimulator::Run(int stopFd) {
    if (!line_) return End(EndReason::Failed);
    // Paced bytes are half a millisecond apart; the default 50 us of timer slack would
    // stretch every one of them.
    if (byteTime_.count() > 0) ::prctl(PR_SET_TIMERSLACK, 1UL);
    SetConnected(line_->SlaveOpen());
    lastReceived_ = Clock::now();
    nextStream_ = lastReceived_;
    for (;;) {
        const TimePoint now = Clock::now();
        TimePoint wakeAt = TimePoint::max();
        bool blocked = false;
        if (!SendDue(now, wakeAt, blocked)) return End(EndReason::Unplugged);
        if (options_.model.mode == SimMode::Stream) Stream(now, wakeAt);
        if (options_.exitAfterRun) {
            if (completeRuns_.load() > 0 && pending_.empty()) return End(EndReason::RunComplete);
            if (closedDuringRun_) return End(EndReason::PortClosed);
            if (options_.idleTimeout.count() > 0) {
                const TimePoint idleAt = lastReceived_ + options_.idleTimeout;
                if (now >= idleAt) return End(EndReason::Idle);
                wakeAt = std::min(wakeAt, idleAt);
            }
        }

        pollfd fds[2] = {{stopFd, POLLIN, 0}, {-1, 0, 0}};
        if (connected_) {
            fds[1] = {line_->Master(), static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0};
        } else {
            fds[1] = {line_->OpenEvents(), POLLIN, 0};
            wakeAt = std::min(wakeAt, now + kRecheckClosedLine);
        }
        const timespec timeout = Until(now, wakeAt);
        const int n = ::ppoll(fds, 2, wakeAt == TimePoint::max() ? nullptr : &timeout, nullptr);
        if (n < 0 && errno != EINTR) return End(EndReason::Failed);
        if (n > 0 && fds[0].revents != 0) return End(EndReason::Stopped);

        const TimePoint woke = Clock::now();
        if (connected_) {
            if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !ReadLine(woke)) LineClosed();
        } else {
            line_->DrainOpenEvents();
            ReadLine(woke);  // what an opener wrote before closing again
            SetConnected(line_->SlaveOpen());
        }
    }
}

bool TerminalSimulator::ReadLine(TimePoint now) {
    uint8_t buffer[kReadChunk];
    const ssize_t n = ::read(line_->Master(), buffer, sizeof buffer);
    if (n > 0) {
        Receive(buffer, static_cast<std::size_t>(n), now);
        return true;
    }
    // EIO: nobody holds the slave any more.
    return n < 0 && (errno == EAGAIN || errno == EINTR);
}

void TerminalSimulator::Receive(const uint8_t* bytes, std::size_t count, TimePoint now) {
    std::vector<Action> actions;
    unsigned runs = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        for (std::size_t i = 0; i < count; ++i) {
            // Paced, a byte is in only when the wire could have carried it.
            TimePoint at = now;
            if (byteTime_.count() > 0) {
                at = std::max(now, rxFree_) + byteTime_;
                rxFree_ = at;
            }
            model_->Receive(bytes[i], at, actions);
        }
        const SimResults& r = model_->Results();
        runs = r.completeRuns;
        framesReceived_ = r.frames.size() + r.framesNotRecorded;
    }
    lastReceived_ = now;
    for (Action& a : actions) {
        Enqueue({a.at, std::move(a.bytes), 0, a.kind == Action::Kind::Unplug});
    }
    // The files are there before anybody hears of the completed run: a waiter may wake at
    // any moment, so the count it waits for is published only after they are written.
    if (runs > filesWrittenForRuns_) {
        WriteFiles();
        filesWrittenForRuns_ = runs;
    }
    completeRuns_ = runs;
    Notify();
}

void TerminalSimulator::Enqueue(Pending item) {
    // In time order; never ahead of a reply that is partly on the wire.
    auto at = pending_.end();
    while (at != pending_.begin() && std::prev(at)->ready > item.ready &&
           !(std::prev(at) == pending_.begin() && pending_.front().sent > 0)) {
        --at;
    }
    pending_.insert(at, std::move(item));
}

bool TerminalSimulator::SendDue(TimePoint now, TimePoint& wakeAt, bool& blocked) {
    const bool paced = byteTime_.count() > 0;
    while (!pending_.empty()) {
        Pending& p = pending_.front();
        if (p.unplug) {
            if (p.ready > now) {
                wakeAt = std::min(wakeAt, p.ready);
                return true;
            }
            pending_.clear();
            line_->Unplug();
            SetConnected(false);
            return false;
        }
        std::size_t due = p.bytes.size() - p.sent;
        TimePoint lastDue = now;
        if (paced) {
            // Each byte leaves one byte time after the previous one, and not before the
            // reply is due plus its own time on the wire.
            due = 0;
            TimePoint t = txLast_;
            for (std::size_t i = p.sent; i < p.bytes.size(); ++i) {
                const TimePoint at = std::max(p.ready, t) + byteTime_;
                if (at > now) {
                    wakeAt = std::min(wakeAt, at);
                    break;
                }
                t = at;
                ++due;
            }
            lastDue = t;
        } else if (p.ready > now) {
            wakeAt = std::min(wakeAt, p.ready);
            return true;
        }
        if (due == 0) return true;
        const std::size_t written = Transmit(p.bytes.data() + p.sent, due);
        p.sent += written;
        if (paced) txLast_ = written == due ? lastDue : now;
        if (written < due) {
            blocked = true;
            return true;
        }
        if (p.sent < p.bytes.size()) return true;
        pending_.pop_front();
    }
    return true;
}

std::size_t TerminalSimulator::Transmit(const uint8_t* bytes, std::size_t count) {
    // With the port closed the bytes go nowhere, as on a real line.
    if (!connected_) return count;
    const ssize_t n = ::write(line_->Master(), bytes, count);
    if (n >= 0) return static_cast<std::size_t>(n);
    return errno == EAGAIN || errno == EINTR ? 0 : count;
}

void TerminalSimulator::Stream(TimePoint now, TimePoint& wakeAt) {
    if (!connected_ || !pending_.empty()) return;
    if (now < nextStream_) {
        wakeAt = std::min(wakeAt, nextStream_);
        return;
    }
    Enqueue({now, Bytes(kStreamLine.begin(), kStreamLine.end()), 0, false});
    nextStream_ = byteTime_.count() > 0 ? now : now + kUnpacedStreamPeriod;
    wakeAt = now;
}

void TerminalSimulator::LineClosed() {
    line_->DiscardUnread();
    {
        std::lock_guard<std::mutex> g(lock_);
        if (model_->Results().runInProgress) closedDuringRun_ = true;
    }
    SetConnected(false);
}

void TerminalSimulator::SetConnected(bool held) {
    connected_ = held;
    if (portHeld_.exchange(held) != held) Notify();
}

void TerminalSimulator::WriteFiles() {
    if (options_.outputFolder.empty()) return;
    const SimResults results = Results();
    std::string error;
    if (!WriteResultFiles(options_.outputFolder, results, options_.model.mode, error)) {
        std::fprintf(stderr, "arvex-terminal-sim: %s\n", error.c_str());
    }
}

EndReason TerminalSimulator::End(EndReason reason) {
    pending_.clear();
    if (line_) line_->Unplug();
    connected_ = false;
    portHeld_ = false;
    WriteFiles();
    {
        std::lock_guard<std::mutex> g(lock_);
        ended_ = true;
    }
    Notify();
    return reason;
}

}  // namespace termsim
