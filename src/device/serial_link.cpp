#include "device/serial_link.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/remembered_port.h"
#include "platform/message_wait.h"

namespace device {

namespace {
// The terminal needs a gap before each frame; a sleep keeps the CPU free meanwhile.
constexpr auto kFrameGap = std::chrono::milliseconds(5);
// A close that a port's own handler defers ends within this time.
constexpr int kCloseWaitMs = 3000;
// The longest the output ring is given to empty before the port closes: far more than a
// frame needs at the line's rate.
constexpr auto kOutputLeaveMs = std::chrono::milliseconds(500);
// 8N1: a start bit, eight data bits, a stop bit.
constexpr long long kBitsPerByte = 10;
}  // namespace

SerialLink::SerialLink(zp::TZpCustomComPort& port, const std::string& programDir,
                       LinkTimings timings)
    : port_(port), programDir_(programDir), timings_(timings) {
    port_.SetOnTriggerAvail(
        [this](zp::TZpCustomComPort&, std::uint16_t count) { ComPortTriggerAvail(count); });
    replyTimer_.OnTimer = [this] { Timer_TimoutTimer(); };
    delayTimer_.OnTimer = [this] { TimerDelayTimer(); };
    comSearchTimer_.OnTimer = [this] { TimerComSearchTimer(); };
}

SerialLink::~SerialLink() { port_.SetOnTriggerAvail(nullptr); }

void SerialLink::ComPortTriggerAvail(std::uint16_t count) {
    // `count` is what was unread when the event was raised; bytes that came in since are
    // taken as well, so none waits for an event that a purge may have made moot.
    (void)count;
    try {
        while (port_.InBuffUsed() > 0) {
            rxBuffer_[rxWritePos_] = port_.ReceiveByte();
            rxWritePos_ = (rxWritePos_ + 1) % kRxRingSize;
            ++counters_.bytesReceived;
        }
    } catch (const std::exception&) {
        // A purge between the event and the read left nothing to read.
    }
}

bool SerialLink::Send(const std::string& bytes) {
    ++counters_.framesSent;
    if (abandoned_ || !port_.Open() || port_.OutbuffFree() < bytes.size()) return false;
    try {
        port_.SendString(bytes);
    } catch (const std::exception&) {
        return false;
    }
    counters_.bytesSent += bytes.size();
    lastSendAt_ = std::chrono::steady_clock::now();
    lastSendBytes_ = bytes.size();
    return true;
}

void SerialLink::SendFrame(const Frame& frame) {
    std::this_thread::sleep_for(kFrameGap);
    Send(frame);
}

void SerialLink::SendControlByte(std::uint8_t byte) {
    std::this_thread::sleep_for(kFrameGap);
    Send(std::string(1, static_cast<char>(byte)));
}

bool SerialLink::LineGone() const { return abandoned_ || !port_.Open() || port_.DeviceLost(); }

void SerialLink::Abandon() {
    abandoned_ = true;
    platform::WakeMessageWait();
}

std::uint8_t SerialLink::WaitReplyByte() {
    timedOut_ = false;
    // Disabled first, so that the count starts now even if the timer was left running.
    replyTimer_.SetEnabled(false);
    replyTimer_.SetInterval(timings_.replyTimeoutMs);
    replyTimer_.SetEnabled(true);
    platform::ProcessMessagesUntil(
        [this] { return rxReadPos_ != rxWritePos_ || timedOut_ || LineGone(); });
    replyTimer_.SetEnabled(false);
    if (rxReadPos_ == rxWritePos_) {
        timedOut_ = true;
        return 0;
    }
    const std::uint8_t b = rxBuffer_[rxReadPos_];
    rxReadPos_ = (rxReadPos_ + 1) % kRxRingSize;
    return b;
}

void SerialLink::Pause(int ms) {
    if (ms <= 0) {
        // A timer without a period never ticks; there is nothing to wait for.
        platform::ProcessPendingMessages();
        return;
    }
    delayActive_ = true;
    delayTimer_.SetEnabled(false);
    delayTimer_.SetInterval(ms);
    delayTimer_.SetEnabled(true);
    platform::ProcessMessagesUntil([this] { return !delayActive_ || abandoned_; });
}

void SerialLink::ResetRing() {
    rxReadPos_ = 0;
    rxWritePos_ = 0;
}

void SerialLink::PurgeInput() {
    if (!port_.Open()) return;
    try {
        port_.PurgeInput();
    } catch (const std::exception&) {
        // Nothing to drop on a port that cannot be purged; the next wait tells the rest.
    }
}

void SerialLink::PurgeOutput() {
    if (!port_.Open()) return;
    try {
        port_.PurgeOutput();
    } catch (const std::exception&) {
    }
}

void SerialLink::LetOutputLeave() {
    using std::chrono::steady_clock;
    if (!port_.Open() || port_.DeviceLost()) return;
    const steady_clock::time_point ringDeadline = steady_clock::now() + kOutputLeaveMs;
    while (port_.OutbuffUsed() > 0 && steady_clock::now() < ringDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Closing drops what the device has not put on the line yet, which is at most the
    // last frame written.
    const long baud = std::max<long>(port_.Baud(), 1);
    const auto lineTime = std::chrono::microseconds(static_cast<long long>(lastSendBytes_) *
                                                    kBitsPerByte * 1000000 / baud);
    const steady_clock::time_point onTheLine = lastSendAt_ + lineTime;
    if (onTheLine > steady_clock::now()) std::this_thread::sleep_until(onTheLine);
}

void SerialLink::ClosePort() {
    LetOutputLeave();
    try {
        port_.SetOpen(false);
    } catch (const std::exception&) {
        // A port that fails to close is given up all the same.
    }
    platform::ProcessMessagesUntil([this] { return !port_.Open(); }, kCloseWaitMs);
}

void SerialLink::Timer_TimoutTimer() {
    timedOut_ = true;
    replyTimer_.SetEnabled(false);
}

void SerialLink::TimerDelayTimer() {
    delayActive_ = false;
    delayTimer_.SetEnabled(false);
}

void SerialLink::TimerComSearchTimer() {
    comSearchActive_ = false;
    comSearchTimer_.SetEnabled(false);
    SaveRememberedPort(programDir_, 0);
}

}  // namespace device
