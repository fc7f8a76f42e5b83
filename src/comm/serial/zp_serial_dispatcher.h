#pragma once
// The dispatcher of a serial device: the output ring and four worker threads. The read
// thread waits for the device and queues what arrives; the status thread watches the
// modem lines; the write thread drains the output ring into the device; the event thread
// moves received bytes into the dispatch buffer and delivers events.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "comm/serial/serial_device.h"
#include "comm/zp_base_dispatcher.h"

namespace zp {

// Flags byte of Initialise.
enum InitFlags : std::uint8_t {
    ifDTR = 0x01,
    ifRTS = 0x02,
    ifHandshakeDTR = 0x10,
    ifHandshakeRTS = 0x20,
};

class TZpSerialDispatcher : public TZpBaseDispatcher {
  public:
    // Received bytes wait in the I/O queue while the dispatch buffer is full; past this the
    // read thread stops taking bytes from the device, and the driver holds them.
    static constexpr std::size_t kMaxQueuedInput = 1 << 20;

    explicit TZpSerialDispatcher(TZpCustomPort* owner);
    ~TZpSerialDispatcher() override;

    // Opens the device, applies the line and starts the threads; 0 or a negative code, with
    // everything released again on failure.
    std::int32_t Initialise(const std::string& deviceName, const LineSettings& line,
                            std::uint16_t inSize, std::uint16_t outSize, std::uint8_t flags);
    // Purges both directions and closes the device (stopping the threads); marks finish-later
    // when an event is being delivered. `mayWait` false: the caller is inside the delivery
    // itself, so the event thread cannot end before the caller returns.
    void DonePort(bool mayWait) override;
    // Until the event thread has ended, which it cues with the finished call.
    bool Busy() const override { return running_.load() > 0; }

    std::int32_t SetLine(const LineSettings& line);
    std::int32_t SetDTR(bool on);
    std::int32_t SetRTS(bool on);

    // The output ring: 0, or -3006 with nothing queued when the ring lacks room.
    std::int32_t PutBlock(const std::uint8_t* bytes, std::size_t length) override;
    std::size_t OutBuffFree() const override;
    std::size_t OutBuffUsed() const override;
    // Empties the ring and makes the write thread drop the block it holds.
    std::int32_t FlushOutBuffer() override;

    bool DeviceOpen() const { return fd_.load() >= 0; }
    int RunningThreads() const { return running_.load(); }
    // The return value a failed worker thread left, 0 if none failed.
    std::int32_t ThreadFailure() const { return failure_.load(); }
    // True once reading or writing the device failed: it was unplugged, or its far end
    // hung up. The threads have stopped (or are stopping); from then on sent bytes are
    // dropped, OutBuffFree is the whole ring, and purges succeed, so that nothing a
    // program does on the port blocks or raises. The event thread's end wakes the GUI
    // thread's message wait, so a wait whose condition looks at this ends promptly.
    bool DeviceLost() const;

  protected:
    std::uint8_t ReadModemStatus() override;
    std::int32_t PurgeDeviceInput() override;
    void TimersChanged() override { Queue().Wake(); }
    void InputRoomMade() override { Queue().Wake(); }

  private:
    void StartThreads();
    bool WaitAcknowledge();
    void Acknowledge();
    void ThreadEnded(std::int32_t result);
    void StopThreads(bool waitForEventThread);
    void ReadThread();
    void StatusThread();
    void WriteThread();
    void EventThread();
    bool Killed() const { return kill_.load(); }
    std::size_t RingUsedLocked() const;
    void Kill();

    std::atomic<NativeHandle> fd_{platform::kNoHandle};
    NativeHandle readWake_ = platform::kNoHandle;  // ends the read thread's wait
    LineSettings line_;
    bool dtr_ = true;
    bool rts_ = true;
    bool dtrHandshake_ = false;
    bool rtsHandshake_ = false;
    std::int32_t lastBaud_ = 115200;

    // Output ring, under outputLock_.
    mutable std::mutex outputLock_;
    std::condition_variable outputSignal_;
    std::vector<std::uint8_t> ring_;
    std::size_t ringWrite_ = 0;
    std::size_t ringTake_ = 0;
    bool ringFull_ = false;
    bool outputReady_ = false;
    bool writeStop_ = false;
    bool writeAck_ = false;

    std::mutex ackLock_;
    std::condition_variable ackSignal_;
    bool acked_ = false;

    std::mutex statusLock_;
    std::condition_variable statusSignal_;

    std::thread readThread_, statusThread_, writeThread_, eventThread_;
    std::atomic<bool> statusInWait_{false};
    std::atomic<int> running_{0};
    std::atomic<bool> kill_{false};
    std::atomic<bool> threadsRunning_{false};
    std::atomic<bool> eventThreadDone_{true};
    std::atomic<std::int32_t> failure_{0};
    std::atomic<bool> closing_{false};
};

}  // namespace zp
