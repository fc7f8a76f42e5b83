#include "comm/serial/zp_serial_dispatcher.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "comm/serial/serial_device_io.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace zp {

namespace {

constexpr int kAckTimeoutMs = 3000;
constexpr int kEventWaitMs = 50;
constexpr int kWriteSliceMs = 100;
constexpr int kModemPollMs = 100;
constexpr int kPurgeAckTimeoutMs = 5000;
constexpr int kEventThreadWaitMs = 36 * 55;
constexpr std::size_t kChunkSize = 256;

}  // namespace

TZpSerialDispatcher::TZpSerialDispatcher(TZpCustomPort* owner)
    : TZpBaseDispatcher(owner, TDispatcherKind::Serial) {}

TZpSerialDispatcher::~TZpSerialDispatcher() {
    if (DeviceOpen() || threadsRunning_) DonePort(true);
    // A detached wait above may have left the event thread running; it ends as soon as its
    // delivery returns, which no longer depends on anything but the 3000 ms limit.
    if (eventThread_.joinable()) eventThread_.join();
    CloseReadWake(readWake_);
}

// ---------------------------------------------------------------- device

std::int32_t TZpSerialDispatcher::Initialise(const std::string& deviceName,
                                             const LineSettings& line, std::uint16_t /*inSize*/,
                                             std::uint16_t outSize, std::uint8_t flags) {
    if (threadsRunning_) return ecAlreadyOpen;
    // Once per process, here on the opening thread rather than in a worker.
    PrepareModemLineWaits();
    NativeHandle fd = platform::kNoHandle;
    std::int32_t result = OpenSerialDevice(deviceName, fd, /*exclusive=*/true);
    if (result != 0) return result;
    RequestLowLatency(fd);
    // The driver's queues are fixed on this system; the receive size has no counterpart.
    readWake_ = CreateReadWake(result);
    if (readWake_ < 0) {
        CloseSerialDevice(fd, /*exclusive=*/true);
        return result;
    }
    {
        std::lock_guard<std::mutex> g(outputLock_);
        ring_.assign(outSize, 0);
        ringWrite_ = ringTake_ = 0;
        ringFull_ = outputReady_ = writeStop_ = writeAck_ = false;
    }
    fd_ = fd;
    ResetForOpen();
    dtrHandshake_ = (flags & ifHandshakeDTR) != 0;
    rtsHandshake_ = (flags & ifHandshakeRTS) != 0;
    dtr_ = (flags & ifDTR) != 0;
    rts_ = (flags & ifRTS) != 0;
    lastBaud_ = 115200;
    result = SetLine(line);
    if (result == 0) {
        StartThreads();
        if (!threadsRunning_) result = ecNoHandles;
    }
    if (result != 0) {
        StopThreads(true);
        fd_ = platform::kNoHandle;
        CloseSerialDevice(fd, /*exclusive=*/true);
        CloseReadWake(readWake_);
        readWake_ = platform::kNoHandle;
    }
    return result;
}

std::int32_t TZpSerialDispatcher::SetLine(const LineSettings& requested) {
    LineSettings line = requested;
    const NativeHandle fd = fd_.load();
    if (fd < 0) return ecCommNotOpen;
    if (DeviceLost()) {
        // Nothing to apply it to; kept for the record, like the rest of a lost port.
        std::lock_guard<std::mutex> g(stateLock_);
        line_ = line;
        return 0;
    }
    {
        std::lock_guard<std::mutex> g(stateLock_);
        // 3 keeps the current stop bits; anything else but 1 and 2 is 2, or 1 for none.
        if (line.stopBits == 3) line.stopBits = line_.stopBits;
        if (line.stopBits != 1 && line.stopBits != 2) line.stopBits = line.stopBits != 0 ? 2 : 1;
        if (lastBaud_ == line.baud && line_.parity == line.parity &&
            line_.dataBits == line.dataBits && line_.stopBits == line.stopBits &&
            line_.hardwareFlow == line.hardwareFlow &&
            line_.softwareReceive == line.softwareReceive &&
            line_.softwareTransmit == line.softwareTransmit && line_.xonChar == line.xonChar &&
            line_.xoffChar == line.xoffChar && threadsRunning_) {
            return 0;
        }
    }
    // Let queued bytes leave at the old setting before the line changes under them; with
    // the write thread gone (a device failure) nothing will take them, so do not wait.
    for (int i = 0; i < 5000 && OutBuffUsed() > 0 && threadsRunning_ && !Killed(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    {
        // 18 character times at the previous rate, as 100 ns units rounded up to ms.
        const int bits =
            (line_.parity != pNone ? 1 : 0) + line_.dataBits - (line_.stopBits == 1 ? 1 : 0) + 3;
        std::int64_t d = (10000000 / std::max<std::int32_t>(lastBaud_, 1)) * bits * 18;
        if (d < 10000) d *= 2;
        std::this_thread::sleep_for(std::chrono::milliseconds((d + 9999) / 10000));
    }
    std::lock_guard<std::mutex> g(stateLock_);
    const std::int32_t result = ApplyLineSettings(fd, line);
    if (result != 0) return result;
    line_ = line;
    lastBaud_ = line.baud;
    if (!dtrHandshake_) SetModemLine(fd, true, dtr_);
    if (!rtsHandshake_ && !line.hardwareFlow) SetModemLine(fd, false, rts_);
    return 0;
}

std::int32_t TZpSerialDispatcher::SetDTR(bool on) {
    const NativeHandle fd = fd_.load();
    if (fd < 0) return ecCommNotOpen;
    std::lock_guard<std::mutex> g(stateLock_);
    dtr_ = on;
    return dtrHandshake_ ? 0 : SetModemLine(fd, true, on);
}

std::int32_t TZpSerialDispatcher::SetRTS(bool on) {
    const NativeHandle fd = fd_.load();
    if (fd < 0) return ecCommNotOpen;
    std::lock_guard<std::mutex> g(stateLock_);
    rts_ = on;
    return (rtsHandshake_ || line_.hardwareFlow) ? 0 : SetModemLine(fd, false, on);
}

std::uint8_t TZpSerialDispatcher::ReadModemStatus() {
    const NativeHandle fd = fd_.load();
    return fd >= 0 && !Killed() ? ReadModemLines(fd) : 0;
}

std::int32_t TZpSerialDispatcher::PurgeDeviceInput() {
    const NativeHandle fd = fd_.load();
    // Nothing is left to purge on a device that went away; that is no error for the
    // program, which learns of the loss through DeviceLost and the line-error trigger.
    return fd < 0 ? 0 : PurgeDevice(fd, HeldBytes::Received);
}

bool TZpSerialDispatcher::DeviceLost() const {
    const std::int32_t failure = failure_.load();
    return failure == ecDeviceRead || failure == ecDeviceWrite;
}

// ---------------------------------------------------------------- output ring

std::int32_t TZpSerialDispatcher::PutBlock(const std::uint8_t* bytes, std::size_t length) {
    // Bytes for a device that went away go nowhere, as on a cut line; queuing them would
    // only fill the ring and leave a sender waiting for room that never comes.
    if (length == 0) return 0;
    {
        std::lock_guard<std::mutex> g(outputLock_);
        // Under the lock: the loss is recorded before the ring is emptied under it.
        if (DeviceLost()) return 0;
        const std::size_t room = ring_.size() - RingUsedLocked();
        if (room < length) return ecOutputBufferTooSmall;
        const std::size_t first = std::min(length, ring_.size() - ringWrite_);
        std::memcpy(ring_.data() + ringWrite_, bytes, first);
        std::memcpy(ring_.data(), bytes + first, length - first);
        ringWrite_ = (ringWrite_ + length) % ring_.size();
        if (room == length) ringFull_ = true;
        outputReady_ = true;
    }
    outputSignal_.notify_all();
    return 0;
}

std::size_t TZpSerialDispatcher::RingUsedLocked() const {
    if (ring_.empty()) return 0;
    return ringFull_ ? ring_.size() : (ringWrite_ + ring_.size() - ringTake_) % ring_.size();
}

std::size_t TZpSerialDispatcher::OutBuffUsed() const {
    std::lock_guard<std::mutex> g(outputLock_);
    return RingUsedLocked();
}

std::size_t TZpSerialDispatcher::OutBuffFree() const {
    std::lock_guard<std::mutex> g(outputLock_);
    return ring_.size() - RingUsedLocked();
}

std::int32_t TZpSerialDispatcher::FlushOutBuffer() {
    // Without a write thread (never started, or ended by a device failure) there is
    // nobody to acknowledge; the ring is simply emptied.
    if (!threadsRunning_ || Killed()) {
        std::lock_guard<std::mutex> g(outputLock_);
        ringWrite_ = ringTake_ = 0;
        ringFull_ = false;
        return 0;
    }
    std::int32_t result = 0;
    std::unique_lock<std::mutex> g(outputLock_);
    ringWrite_ = ringTake_ = 0;
    ringFull_ = false;
    const NativeHandle fd = fd_.load();
    if (fd >= 0) result = PurgeDevice(fd, HeldBytes::Unsent);
    writeAck_ = false;
    writeStop_ = true;
    outputSignal_.notify_all();
    outputSignal_.wait_for(g, std::chrono::milliseconds(kPurgeAckTimeoutMs),
                           [this] { return writeAck_ || Killed(); });
    writeStop_ = false;
    return result;
}

// ---------------------------------------------------------------- threads

void TZpSerialDispatcher::Acknowledge() {
    {
        std::lock_guard<std::mutex> g(ackLock_);
        acked_ = true;
    }
    ackSignal_.notify_all();
}

bool TZpSerialDispatcher::WaitAcknowledge() {
    std::unique_lock<std::mutex> g(ackLock_);
    const bool ok =
        ackSignal_.wait_for(g, std::chrono::milliseconds(kAckTimeoutMs), [this] { return acked_; });
    acked_ = false;
    return ok;
}

void TZpSerialDispatcher::StartThreads() {
    if (threadsRunning_) return;
    kill_ = false;
    failure_ = 0;
    closing_ = false;
    threadsRunning_ = true;
    eventThreadDone_ = false;
    acked_ = false;
    readThread_ = std::thread([this] { ReadThread(); });
    bool ok = WaitAcknowledge();
    eventThread_ = std::thread([this] { EventThread(); });
    ok = WaitAcknowledge() && ok;
    writeThread_ = std::thread([this] { WriteThread(); });
    ok = WaitAcknowledge() && ok;
    statusThread_ = std::thread([this] { StatusThread(); });
    ok = WaitAcknowledge() && ok;
    if (!ok) StopThreads(true);
}

void TZpSerialDispatcher::Kill() {
    kill_ = true;
    SignalReadWake(readWake_);
    Queue().Wake();
    { std::lock_guard<std::mutex> g(outputLock_); }
    outputSignal_.notify_all();
    { std::lock_guard<std::mutex> g(statusLock_); }
    statusSignal_.notify_all();
}

void TZpSerialDispatcher::ThreadEnded(std::int32_t result) {
    if (result == ecDeviceRead || result == ecDeviceWrite) {
        std::int32_t none = 0;
        failure_.compare_exchange_strong(none, result);
        {
            // What was queued for the lost device will never leave.
            std::lock_guard<std::mutex> g(outputLock_);
            ringWrite_ = ringTake_ = 0;
            ringFull_ = false;
        }
        ReportLineFailure();
    } else if (result < 0) {
        std::int32_t none = 0;
        failure_.compare_exchange_strong(none, result);
        try {
            CheckException(result);
        } catch (const std::exception& e) {
            // A worker has nobody to hand the exception to; the port stays open without data.
            std::fprintf(stderr, "serial port: %s\n", e.what());
        }
    }
    if (result < 0) Kill();
}

void TZpSerialDispatcher::ReadThread() {
    ++running_;
    Acknowledge();
    std::int32_t result = 0;
    std::uint8_t chunk[kChunkSize];
    const NativeHandle fd = fd_.load();
    // Line errors come from the driver's counters, where it keeps them: a framing or
    // parity error, an overrun or a break arrives with (or instead of) received bytes,
    // so the counters are read after every batch.
    LineCounters counters;
    const bool counted = ReadLineCounters(fd, counters);
    while (!Killed()) {
        // Back-pressure: a program that stops reading leaves the bytes with the driver
        // instead of letting the queue grow without bound.
        if (Queue().QueuedBytes() >= kMaxQueuedInput) {
            Queue().WaitForRoom(kMaxQueuedInput, kWriteSliceMs);
            continue;
        }
        const InputReady ready = WaitForInput(fd, readWake_, kEventWaitMs);
        if (Killed()) break;
        if (ready == InputReady::WaitFailed) {
            result = ecDeviceRead;
            break;
        }
        if (ready == InputReady::No) continue;
        if (ready == InputReady::Closed) break;  // closed under us: only stop
        bool failed = false;
        bool gotAny = false;
        for (;;) {
            const std::ptrdiff_t got = ReadDevice(fd, chunk, sizeof chunk);
            if (got > 0) {
                gotAny = true;
                Queue().PushData(chunk, static_cast<std::size_t>(got));
                if (static_cast<std::size_t>(got) < sizeof chunk) break;
                if (Queue().QueuedBytes() >= kMaxQueuedInput) break;
                continue;
            }
            if (got == 0) {
                // Nothing (more) to read; with a hang-up pending that means the line is gone.
                if (ready == InputReady::OrHungUp) failed = true;
                break;
            }
            failed = true;
            break;
        }
        LineCounters now;
        if (counted && (gotAny || failed) && ReadLineCounters(fd, now)) {
            const std::uint16_t errors = LineErrorsBetween(counters, now);
            counters = now;
            const std::uint32_t mask = evError | ((errors & leBreak) ? std::uint32_t{evBreak} : 0u);
            if (errors != 0) Queue().PushStatus(mask, errors);
        }
        if (failed) {
            result = ecDeviceRead;
            break;
        }
    }
    ThreadEnded(result);
    --running_;
}

void TZpSerialDispatcher::StatusThread() {
    ++running_;
    Acknowledge();
    const NativeHandle fd = fd_.load();
    const bool interruptible = AcceptModemLineWaitInterrupts();
    // A device without modem lines (a pseudo-terminal) has nothing to watch: the thread
    // stays, idle, so that the port behaves the same otherwise.
    const bool hasLines = HasModemLines(fd);
    bool kernelWait = true;
    std::uint8_t previous = ReadModemLines(fd);
    while (!Killed()) {
        if (!hasLines) {
            std::unique_lock<std::mutex> g(statusLock_);
            statusSignal_.wait(g, [this] { return Killed(); });
            continue;
        }
        if (kernelWait && interruptible && ModemLineWaitsInterruptible()) {
            statusInWait_ = true;
            const ModemLineWait waited =
                Killed() ? ModemLineWait::Interrupted : WaitForModemLines(fd);
            statusInWait_ = false;
            if (Killed()) break;
            if (waited == ModemLineWait::Unsupported) kernelWait = false;
        } else {
            std::unique_lock<std::mutex> g(statusLock_);
            statusSignal_.wait_for(g, std::chrono::milliseconds(kModemPollMs),
                                   [this] { return Killed(); });
            if (Killed()) break;
        }
        const std::uint8_t now = ReadModemLines(fd);
        const std::uint8_t changed = now ^ previous;
        previous = now;
        std::uint32_t mask = 0;
        if (changed & msCTS) mask |= evCts;
        if (changed & msDSR) mask |= evDsr;
        if (changed & msDCD) mask |= evRlsd;
        if (changed & msRing) mask |= evRing;
        if (mask != 0) Queue().PushStatus(mask);
    }
    ThreadEnded(0);
    --running_;
}

void TZpSerialDispatcher::WriteThread() {
    ++running_;
    Acknowledge();
    const NativeHandle fd = fd_.load();
    std::int32_t result = 0;
    std::vector<std::uint8_t> block;
    while (!Killed() && result == 0) {
        {
            std::unique_lock<std::mutex> g(outputLock_);
            outputSignal_.wait(g, [this] { return outputReady_ || writeStop_ || Killed(); });
            if (Killed()) break;
            if (writeStop_) {
                writeAck_ = true;
                writeStop_ = false;
                outputReady_ = false;
                g.unlock();
                outputSignal_.notify_all();
                continue;
            }
            // Take everything queued in one piece; the ring is free again at once.
            const std::size_t used = RingUsedLocked();
            block.resize(used);
            const std::size_t first = std::min(used, ring_.size() - ringTake_);
            std::memcpy(block.data(), ring_.data() + ringTake_, first);
            std::memcpy(block.data() + first, ring_.data(), used - first);
            ringTake_ = ringWrite_;
            ringFull_ = false;
            outputReady_ = false;
        }
        std::size_t done = 0;
        while (done < block.size() && !Killed()) {
            {
                std::lock_guard<std::mutex> g(outputLock_);
                if (writeStop_) {
                    // Purge: the rest of this block is abandoned.
                    writeAck_ = true;
                    writeStop_ = false;
                    outputSignal_.notify_all();
                    break;
                }
            }
            const std::ptrdiff_t n = WriteDevice(fd, block.data() + done, block.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n == kDeviceFull) {
                if (WaitForOutputRoom(fd, kWriteSliceMs)) continue;
                result = ecDeviceWrite;
                break;
            }
            if (n == kDeviceClosed) break;
            result = ecDeviceWrite;
            break;
        }
    }
    ThreadEnded(result);
    --running_;
}

void TZpSerialDispatcher::EventThread() {
    ++running_;
    Acknowledge();
    while (!Killed() && !FinishLater()) {
        // Until something can be done: a timer due, a status change, or received data that
        // has room in the dispatch buffer. While the program leaves the buffer full, data
        // waiting in the queue must not end the wait, or the thread would spin until it
        // reads (InputRoomMade wakes it then).
        const std::int32_t nextTimer = MsUntilNextTimer();
        const int wait = nextTimer < 0 ? kEventWaitMs : std::min(nextTimer, kEventWaitMs);
        Queue().Wait(wait, /*dataWanted=*/InbuffFree() > 0);
        if (Killed()) break;
        std::uint32_t mask;
        std::uint16_t lineErrors;
        while (Queue().PopStatus(mask, lineErrors)) HandleStatusMask(mask, lineErrors);
        FillDispatchBuffer();
        CheckTriggers();
    }
    // A device failure ended the threads: give a line-error trigger its chance to report it.
    const std::int32_t failed = failure_.load();
    if ((failed == ecDeviceRead || failed == ecDeviceWrite) && !closing_ && !FinishLater()) {
        while (CheckStatusTriggers()) {
        }
    }
    // Always offered: the owner ignores it unless it is completing a deferred close, and
    // this way a close that raced with the end of a delivery cannot be left waiting.
    std::function<void()> finished = FinishedCue();
    eventThreadDone_ = true;
    platform::WakeGuiThread();
    // Nothing of the dispatcher is touched after this: the owner may free it at once.
    --running_;
    if (finished) platform::PostToGui(std::move(finished));
}

void TZpSerialDispatcher::StopThreads(bool waitForEventThread) {
    if (!threadsRunning_ && !readThread_.joinable() && !eventThread_.joinable()) return;
    Kill();
    if (statusThread_.joinable()) {
        // Out of a modem-line wait, if it is in one (repeat: the signal may come just before
        // the thread enters the wait).
        while (running_ > 0 && statusInWait_) {
            InterruptModemLineWait(statusThread_);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        statusThread_.join();
    }
    if (writeThread_.joinable()) writeThread_.join();
    if (readThread_.joinable()) readThread_.join();
    if (eventThread_.joinable() && waitForEventThread) {
        // The event thread may be waiting for the GUI thread to run a delivery; processing
        // messages here lets that delivery finish.
        auto done = [this] { return eventThreadDone_.load(); };
        if (platform::IsGuiThread()) {
            if (!platform::ProcessMessagesUntil(done, kEventThreadWaitMs)) {
                Queue().Wake();
                platform::ProcessMessagesUntil(done, kEventThreadWaitMs);
            }
        } else {
            for (int i = 0; i < 2 * kEventThreadWaitMs && !done(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        if (done()) eventThread_.join();
    }
    threadsRunning_ = false;
}

void TZpSerialDispatcher::DonePort(bool mayWait) {
    if (closing_) return;
    closing_ = true;
    if (DeviceOpen()) {
        FlushOutBuffer();
        FlushInBuffer();
        StopThreads(mayWait);
        const NativeHandle fd = fd_.exchange(platform::kNoHandle);
        CloseSerialDevice(fd, /*exclusive=*/true);
    } else {
        StopThreads(mayWait);
    }
    TZpBaseDispatcher::DonePort(mayWait);
}

}  // namespace zp
