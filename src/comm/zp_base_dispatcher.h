#pragma once
// What every port dispatcher shares whatever its device: the 8192-byte dispatch buffer
// the program reads from, the trigger lists, the avail notification and the delivery of
// events to the port's window and to registered receivers. A transport's dispatcher adds
// how bytes get in and out: the serial one with worker threads (comm/serial), a socket one
// on the GUI thread without threads (TZpGuiThreadDispatcher).
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "comm/dispatcher_registry.h"
#include "comm/io_queue.h"
#include "comm/zp_errors.h"

namespace zp {

// Private messages of the port window.
inline constexpr std::uint32_t kMsgTriggerAvail = 32257;   // 0x7E01, first parameter the count
inline constexpr std::uint32_t kMsgTriggerData = 32258;    // 0x7E02
inline constexpr std::uint32_t kMsgTriggerTimer = 32259;   // 0x7E03, first parameter the handle
inline constexpr std::uint32_t kMsgTriggerStatus = 32260;  // 0x7E04
inline constexpr std::uint32_t kMsgDeferredClose = 32266;  // 0x7E0A

// Status trigger kinds, in the low three bits of a status trigger's handle.
enum StatusTriggerKind : std::uint16_t {
    stModem = 1,
    stLine = 2,
    stOutBuffFree = 3,
    stOutBuffUsed = 4,
    stOutSent = 5,
};

// Comm-event bits, as the status thread reports them.
enum CommEvent : std::uint32_t {
    evRxChar = 0x0001,
    evCts = 0x0008,
    evDsr = 0x0010,
    evRlsd = 0x0020,
    evBreak = 0x0040,
    evError = 0x0080,
    evRing = 0x0100,
    evRingTrailing = 0x2000,
};

// Modem status bits (the modem status byte) and line error bits.
enum ModemStatus : std::uint8_t { msCTS = 0x10, msDSR = 0x20, msRing = 0x40, msDCD = 0x80 };
enum LineError : std::int16_t {
    leBreak = 0x10,
    leFrame = 0x08,
    leParity = 0x04,
    leOverrun = 0x02,
    leRxOver = 0x01  // the receive queue overflowed
};

// A window that receives the dispatcher's messages on the GUI thread: the port's hidden
// window. Held weakly so that a message that comes late finds nothing instead of a freed
// window.
class TZpWindowReceiver {
  public:
    virtual ~TZpWindowReceiver() = default;
    virtual void Procedure(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam) = 0;
};

// What a port keeps of its triggers between a close and the next open.
struct TTriggerSet {
    struct Timer {
        std::uint16_t handle;
        std::int32_t ticks;
        std::uint32_t endMs;
        bool active;
    };
    struct Status {
        std::uint16_t handle;
        std::uint16_t value;
        bool active;
    };
    std::vector<Timer> timers;
    std::vector<Status> statuses;
    std::uint32_t handleCounter = 1;
    std::uint16_t availThreshold = 0;
    bool valid = false;
};

class TZpBaseDispatcher {
  public:
    // Called with (message, trigger handle or count, second parameter).
    using EventReceiver =
        std::function<void(std::uint32_t msg, std::uint32_t wParam, std::uint32_t lParam)>;

    static constexpr std::size_t kDispatchBufferSize = 8192;
    // The trigger handle that names the avail notification.
    static constexpr std::uint16_t kAvailTriggerHandle = 1;
    static constexpr std::int32_t kMaxTimerTicks = 39045157;
    static constexpr std::uint32_t kTickMs = 55;

    // `owner` is the port component (nothing for a dispatcher used on its own).
    TZpBaseDispatcher(TZpCustomPort* owner, TDispatcherKind kind);
    virtual ~TZpBaseDispatcher();
    TZpBaseDispatcher(const TZpBaseDispatcher&) = delete;
    TZpBaseDispatcher& operator=(const TZpBaseDispatcher&) = delete;

    TZpCustomPort* Owner() const { return owner_; }
    TDispatcherKind Kind() const { return kind_; }
    std::int32_t Handle() const { return handle_; }

    // ---- what the transport provides ----
    // Queues all of `length` bytes for sending: 0, or -3006 with nothing queued when there
    // is not room for all of them.
    virtual std::int32_t PutBlock(const std::uint8_t* bytes, std::size_t length) = 0;
    virtual std::size_t OutBuffFree() const = 0;
    virtual std::size_t OutBuffUsed() const = 0;
    // Discards what is queued for sending and not yet sent.
    virtual std::int32_t FlushOutBuffer() = 0;
    // Ends the transport: purges both directions and closes the device. During a delivery
    // the dispatcher is marked finish-later instead of being ready to free. `mayWait`
    // false: the caller is inside a delivery, so nothing that waits for it may be awaited.
    virtual void DonePort(bool mayWait);
    // True while the dispatcher still needs the GUI thread before it can be freed (a
    // delivery under way, a worker thread still running). The port then completes its
    // close when the finished cue comes.
    virtual bool Busy() const { return Delivering(); }
    // Called on the GUI thread once the dispatcher, marked finish-later, is no longer
    // busy: the owner's cue to complete a deferred close.
    void SetOnFinished(std::function<void()> call);

    // ---- reading the dispatch buffer (GUI thread) ----
    std::int32_t GetChar(std::uint8_t& c);
    // All or nothing: n, or -3007 with nothing taken when fewer than n bytes are unread.
    std::int32_t GetBlock(std::uint8_t* destination, std::size_t n);
    // Unread bytes, less those read ahead during an avail delivery.
    std::size_t InbuffUsed() const;
    std::size_t InbuffFree() const;
    // Discards everything received and not yet read (inside an avail delivery: counts every
    // unread byte as read when the delivery ends).
    virtual std::int32_t FlushInBuffer();

    // ---- avail notification and triggers ----
    void SetAvailThreshold(std::uint16_t n);
    std::uint16_t AvailThreshold() const;
    std::int32_t AddTimerTrigger();
    // ticks 0 keeps the previous length; activate false stops the timer.
    std::int32_t SetTimerTrigger(std::int32_t handle, std::int32_t ticks, bool activate);
    std::int32_t AddStatusTrigger(StatusTriggerKind kind);
    // Modem kind: `value` is a mask of ModemStatus bits to watch; line kind: ignored.
    std::int32_t SetStatusTrigger(std::int32_t handle, std::uint16_t value, bool activate);
    std::int32_t RemoveTrigger(std::int32_t handle);
    void SaveTriggers(TTriggerSet& set) const;
    void RestoreTriggers(const TTriggerSet& set);

    // ---- receivers ----
    void RegisterWindowReceiver(std::weak_ptr<TZpWindowReceiver> window);
    void UnregisterWindowReceiver(const TZpWindowReceiver* window);
    // Returns an id for UnregisterEventReceiver. `onGuiThread`: the call is sent to the
    // GUI thread (3000 ms limit) instead of running on the delivering thread.
    int RegisterEventReceiver(EventReceiver receiver, bool onGuiThread);
    void UnregisterEventReceiver(int id);
    void SetPortWantsEvents(bool on);

    // ---- line status ----
    std::uint8_t ModemStatus() const;
    std::int16_t LastLineError() const;
    bool LineBreak() const;

    // True while an event is being delivered.
    bool Delivering() const;
    // Set when the port was closed during a delivery; the delivering thread finishes the job.
    bool FinishLater() const;
    // How many deliveries to a window ran out of the 3000 ms (for tests and diagnostics).
    std::uint32_t DeliveryTimeouts() const { return deliveryTimeouts_.load(); }
    // Bytes received from the device and not yet in the dispatch buffer.
    std::size_t QueuedInputBytes() const { return ioQueue_.QueuedBytes(); }

    // Milliseconds until the earliest active timer trigger is due (0 when one is due now),
    // or -1 when no timer trigger is active. A dispatcher without threads arms one timer
    // for this and runs CheckTriggers when it expires; TimersChanged tells it to re-arm.
    std::int32_t MsUntilNextTimer() const;

    // One round of checks as the event thread runs them: timers, then status triggers, then
    // the avail notification, each until none fires. A device dispatcher without threads
    // calls this from its own processing.
    void CheckTriggers();

  protected:
    // Copies from the I/O queue into the dispatch buffer's free room (event thread).
    void FillDispatchBuffer();
    // Handles a comm-event mask taken from the I/O queue, with the line errors that came
    // with it.
    void HandleStatusMask(std::uint32_t mask, std::uint16_t lineErrors);
    // Reads the modem lines from the device.
    virtual std::uint8_t ReadModemStatus() { return 0; }
    // Purges the driver's receive side.
    virtual std::int32_t PurgeDeviceInput() { return 0; }
    // Records a device failure as the line error and lets a line-error trigger report it.
    void ReportLineFailure();
    // Resets buffers and triggers for a freshly opened device, and takes the modem status
    // as the device reports it now (so call it once the device is open).
    void ResetForOpen();
    bool CheckTimerTriggers();
    bool CheckStatusTriggers();
    bool CheckAvail();
    // Delivers one message to every receiver, stopping early when finish-later is set.
    void DeliverEvent(std::uint32_t msg, std::uint32_t wParam, std::uint32_t extra);
    void SetFinishLater();
    // Posts the finished cue to the GUI thread (see SetOnFinished).
    void PostFinished();
    // The cue itself, for a dispatcher that must post it after its last access to itself.
    std::function<void()> FinishedCue() const;
    // A timer trigger was set, stopped, removed or restored: its deadline may have moved.
    // Called without any of the dispatcher's locks held.
    virtual void TimersChanged() {}
    // The program read from a full dispatch buffer or purged it: data waiting in the I/O
    // queue can move in now. Called without any of the dispatcher's locks held.
    virtual void InputRoomMade() {}
    // The hand-over from the device side: a device dispatcher pushes received data here.
    TIOQueue& Queue() { return ioQueue_; }

    mutable std::mutex stateLock_;
    mutable std::mutex inputLock_;

  private:
    struct TimerTrigger {
        std::uint16_t handle;
        std::int32_t ticks = 0;
        std::uint32_t endMs = 0;
        bool active = false;
    };
    struct StatusTrigger {
        std::uint16_t handle;
        std::uint16_t value = 0;
        bool active = false;
        bool hit = false;
    };
    struct WindowRecord {
        std::weak_ptr<TZpWindowReceiver> window;
        const TZpWindowReceiver* key;
        bool removed = false;
    };
    struct EventRecord {
        int id;
        EventReceiver receiver;
        bool onGuiThread;
        bool removed = false;
    };

    std::int32_t NewTriggerHandle();
    std::size_t UnreadLocked() const;

    TZpCustomPort* owner_;
    TDispatcherKind kind_;
    std::int32_t handle_ = -1;
    TIOQueue ioQueue_;

    // Dispatch buffer, under inputLock_. Arrival is also counted in total bytes so that
    // "new data since the last notification" never mistakes a full wrap for no change.
    std::array<std::uint8_t, kDispatchBufferSize> buffer_{};
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    bool full_ = false;
    std::uint64_t received_ = 0;
    std::uint64_t lastNotified_ = 0;
    bool inAvailDelivery_ = false;
    std::size_t readAhead_ = 0;
    std::size_t largestReadAhead_ = 0;
    std::size_t lastDeliveryRead_ = 0;

    // Under stateLock_.
    std::vector<TimerTrigger> timers_;
    std::vector<StatusTrigger> statuses_;
    std::uint32_t handleCounter_ = 1;
    std::uint16_t availThreshold_ = 0;
    std::vector<WindowRecord> windows_;
    std::vector<EventRecord> events_;
    int nextEventId_ = 1;
    bool portWantsEvents_ = false;
    bool delivering_ = false;
    bool removePending_ = false;
    bool finishLater_ = false;
    std::uint8_t modemStatus_ = 0;
    std::uint8_t lastModemStatus_ = 0;
    std::int16_t lineError_ = 0;
    bool lineBreak_ = false;
    bool lineErrorPending_ = false;

    std::function<void()> onFinished_;

    std::atomic<std::uint32_t> deliveryTimeouts_{0};
};

}  // namespace zp
