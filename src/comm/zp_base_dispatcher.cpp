#include "comm/zp_base_dispatcher.h"

#include <algorithm>

#include "comm/dispatcher_registry.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"

namespace zp {

namespace {
constexpr std::uint32_t kMaxHandleCounter = 4096;

bool TimeReached(std::uint32_t now, std::uint32_t end) {
    return static_cast<std::int32_t>(now - end) >= 0;
}

// A receiver that fails has failed on its own: the dispatcher, its thread and the other
// receivers go on, whatever it threw.
void CallReceiver(const TZpBaseDispatcher::EventReceiver& receiver, std::uint32_t msg,
                  std::uint32_t wParam, std::uint32_t lParam) {
    try {
        receiver(msg, wParam, lParam);
    } catch (...) {
    }
}
}  // namespace

TZpBaseDispatcher::TZpBaseDispatcher(TZpCustomPort* owner, TDispatcherKind kind)
    : owner_(owner), kind_(kind) {
    handle_ = registry::Add(this, kind);
}

TZpBaseDispatcher::~TZpBaseDispatcher() { registry::Remove(handle_); }

// ---------------------------------------------------------------- dispatch buffer

std::size_t TZpBaseDispatcher::UnreadLocked() const {
    if (full_) return kDispatchBufferSize;
    return (head_ + kDispatchBufferSize - tail_) % kDispatchBufferSize;
}

std::size_t TZpBaseDispatcher::InbuffUsed() const {
    std::lock_guard<std::mutex> g(inputLock_);
    const std::size_t unread = UnreadLocked();
    return inAvailDelivery_ ? unread - std::min(unread, readAhead_) : unread;
}

std::size_t TZpBaseDispatcher::InbuffFree() const {
    std::lock_guard<std::mutex> g(inputLock_);
    return kDispatchBufferSize - UnreadLocked();
}

std::int32_t TZpBaseDispatcher::GetChar(std::uint8_t& c) {
    {
        std::lock_guard<std::mutex> g(inputLock_);
        const std::size_t unread = UnreadLocked();
        if (inAvailDelivery_) {
            // Read ahead: the tail stays put until the delivery ends and commits what was read.
            if (readAhead_ + 1 > unread) return ecBufferIsEmpty;
            c = buffer_[(tail_ + readAhead_) % kDispatchBufferSize];
            ++readAhead_;
            return 0;
        }
        if (unread == 0) return ecBufferIsEmpty;
        c = buffer_[tail_];
        tail_ = (tail_ + 1) % kDispatchBufferSize;
        if (!full_) return 0;
        full_ = false;
    }
    InputRoomMade();
    return 0;
}

std::int32_t TZpBaseDispatcher::GetBlock(std::uint8_t* destination, std::size_t n) {
    bool wasFull = false;
    {
        std::lock_guard<std::mutex> g(inputLock_);
        const std::size_t unread = UnreadLocked();
        const std::size_t start = inAvailDelivery_ ? readAhead_ : 0;
        if (start + n > unread) return ecBufferIsEmpty;
        for (std::size_t i = 0; i < n; ++i) {
            destination[i] = buffer_[(tail_ + start + i) % kDispatchBufferSize];
        }
        if (inAvailDelivery_) {
            readAhead_ += n;
        } else if (n > 0) {
            tail_ = (tail_ + n) % kDispatchBufferSize;
            wasFull = full_;
            full_ = false;
        }
    }
    if (wasFull) InputRoomMade();
    return static_cast<std::int32_t>(n);
}

std::int32_t TZpBaseDispatcher::FlushInBuffer() {
    std::int32_t result;
    {
        std::lock_guard<std::mutex> g(inputLock_);
        result = PurgeDeviceInput();
        ioQueue_.Clear();
        if (inAvailDelivery_) {
            readAhead_ = UnreadLocked();
            largestReadAhead_ = std::max(largestReadAhead_, readAhead_);
        } else {
            tail_ = head_;
            full_ = false;
            readAhead_ = 0;
        }
    }
    InputRoomMade();
    return result;
}

void TZpBaseDispatcher::FillDispatchBuffer() {
    std::lock_guard<std::mutex> g(inputLock_);
    if (full_) return;
    // Free room up to the end of the ring first, then from its start.
    for (int piece = 0; piece < 2 && !full_; ++piece) {
        const std::size_t limit = head_ >= tail_ ? kDispatchBufferSize : tail_;
        const std::size_t room = limit - head_;
        if (room == 0) break;
        const std::size_t n = ioQueue_.TakeData(buffer_.data() + head_, room);
        if (n == 0) break;
        head_ = (head_ + n) % kDispatchBufferSize;
        received_ += n;
        if (head_ == tail_) full_ = true;
    }
}

void TZpBaseDispatcher::ResetForOpen() {
    {
        std::lock_guard<std::mutex> g(inputLock_);
        head_ = tail_ = 0;
        full_ = false;
        received_ = lastNotified_ = 0;
        inAvailDelivery_ = false;
        readAhead_ = largestReadAhead_ = 0;
    }
    // The lines as they are now, so that the first change, a falling DSR or DCD among
    // them, is seen as one.
    const std::uint8_t modem = ReadModemStatus();
    std::lock_guard<std::mutex> g(stateLock_);
    timers_.clear();
    statuses_.clear();
    handleCounter_ = 1;
    availThreshold_ = 0;
    modemStatus_ = lastModemStatus_ = modem;
    lineError_ = 0;
    lineBreak_ = false;
    lineErrorPending_ = false;
    finishLater_ = false;
}

// ---------------------------------------------------------------- triggers

void TZpBaseDispatcher::SetAvailThreshold(std::uint16_t n) {
    std::lock_guard<std::mutex> g(stateLock_);
    availThreshold_ = n;
}

std::uint16_t TZpBaseDispatcher::AvailThreshold() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return availThreshold_;
}

std::int32_t TZpBaseDispatcher::NewTriggerHandle() {
    if (handleCounter_ < kMaxHandleCounter) return static_cast<std::int32_t>(handleCounter_++ * 8);
    for (std::int32_t h = 8; h <= static_cast<std::int32_t>(kMaxHandleCounter); h += 8) {
        const bool used = std::any_of(timers_.begin(), timers_.end(),
                                      [h](const TimerTrigger& t) { return t.handle == h; }) ||
                          std::any_of(statuses_.begin(), statuses_.end(),
                                      [h](const StatusTrigger& s) { return (s.handle & ~7) == h; });
        if (!used) return h;
    }
    return ecNoMoreTriggers;
}

std::int32_t TZpBaseDispatcher::AddTimerTrigger() {
    std::lock_guard<std::mutex> g(stateLock_);
    const std::int32_t h = NewTriggerHandle();
    if (h < 0) return h;
    TimerTrigger t;
    t.handle = static_cast<std::uint16_t>(h);
    timers_.push_back(t);
    return h;
}

std::int32_t TZpBaseDispatcher::SetTimerTrigger(std::int32_t handle, std::int32_t ticks,
                                                bool activate) {
    {
        std::lock_guard<std::mutex> g(stateLock_);
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [handle](const TimerTrigger& t) { return t.handle == handle; });
        if (it == timers_.end()) return ecBadTriggerHandle;
        if (activate) {
            if (ticks != 0) it->ticks = std::clamp(ticks, 0, kMaxTimerTicks);
            // Kept in milliseconds: the cap keeps the span below 2^31 ms, so a signed
            // difference of the wrapping clock tells whether the end has passed.
            it->endMs =
                platform::MillisecondClock() + static_cast<std::uint32_t>(it->ticks) * kTickMs;
        }
        it->active = activate;
    }
    TimersChanged();
    return 0;
}

std::int32_t TZpBaseDispatcher::MsUntilNextTimer() const {
    std::lock_guard<std::mutex> g(stateLock_);
    const std::uint32_t now = platform::MillisecondClock();
    std::int32_t next = -1;
    for (const auto& t : timers_) {
        if (!t.active) continue;
        const std::int32_t left = std::max(0, static_cast<std::int32_t>(t.endMs - now));
        if (next < 0 || left < next) next = left;
    }
    return next;
}

std::int32_t TZpBaseDispatcher::AddStatusTrigger(StatusTriggerKind kind) {
    if (kind < stModem || kind > stOutSent) return ecBadArgument;
    std::lock_guard<std::mutex> g(stateLock_);
    const std::int32_t h = NewTriggerHandle();
    if (h < 0) return h;
    StatusTrigger s;
    s.handle = static_cast<std::uint16_t>(h | kind);
    statuses_.push_back(s);
    return s.handle;
}

std::int32_t TZpBaseDispatcher::SetStatusTrigger(std::int32_t handle, std::uint16_t value,
                                                 bool activate) {
    std::lock_guard<std::mutex> g(stateLock_);
    auto it = std::find_if(statuses_.begin(), statuses_.end(),
                           [handle](const StatusTrigger& s) { return s.handle == handle; });
    if (it == statuses_.end()) return ecBadTriggerHandle;
    it->value = value;
    it->active = activate;
    it->hit = false;
    return 0;
}

std::int32_t TZpBaseDispatcher::RemoveTrigger(std::int32_t handle) {
    std::unique_lock<std::mutex> g(stateLock_);
    if (handle == kAvailTriggerHandle) {
        availThreshold_ = 0;
        return 0;
    }
    auto t = std::find_if(timers_.begin(), timers_.end(),
                          [handle](const TimerTrigger& x) { return x.handle == handle; });
    if (t != timers_.end()) {
        timers_.erase(t);
        g.unlock();
        TimersChanged();
        return 0;
    }
    auto s = std::find_if(statuses_.begin(), statuses_.end(),
                          [handle](const StatusTrigger& x) { return x.handle == handle; });
    if (s != statuses_.end()) {
        statuses_.erase(s);
        return 0;
    }
    return ecBadTriggerHandle;
}

void TZpBaseDispatcher::SaveTriggers(TTriggerSet& set) const {
    std::lock_guard<std::mutex> g(stateLock_);
    set = TTriggerSet{};
    for (const auto& t : timers_) set.timers.push_back({t.handle, t.ticks, t.endMs, t.active});
    for (const auto& s : statuses_) set.statuses.push_back({s.handle, s.value, s.active});
    set.handleCounter = handleCounter_;
    set.availThreshold = availThreshold_;
    set.valid = true;
}

void TZpBaseDispatcher::RestoreTriggers(const TTriggerSet& set) {
    if (!set.valid) return;
    {
        std::lock_guard<std::mutex> g(stateLock_);
        timers_.clear();
        statuses_.clear();
        for (const auto& t : set.timers) timers_.push_back({t.handle, t.ticks, t.endMs, t.active});
        for (const auto& s : set.statuses) {
            statuses_.push_back({s.handle, s.value, s.active, false});
        }
        handleCounter_ = set.handleCounter;
    }
    TimersChanged();
}

// ---------------------------------------------------------------- receivers

void TZpBaseDispatcher::RegisterWindowReceiver(std::weak_ptr<TZpWindowReceiver> window) {
    auto locked = window.lock();
    if (!locked) return;
    std::lock_guard<std::mutex> g(stateLock_);
    windows_.push_back({std::move(window), locked.get(), false});
}

void TZpBaseDispatcher::UnregisterWindowReceiver(const TZpWindowReceiver* window) {
    std::lock_guard<std::mutex> g(stateLock_);
    for (auto& w : windows_) {
        if (w.key == window) w.removed = true;
    }
    if (delivering_) {
        removePending_ = true;
    } else {
        std::erase_if(windows_, [](const WindowRecord& w) { return w.removed; });
    }
}

int TZpBaseDispatcher::RegisterEventReceiver(EventReceiver receiver, bool onGuiThread) {
    std::lock_guard<std::mutex> g(stateLock_);
    const int id = nextEventId_++;
    events_.push_back({id, std::move(receiver), onGuiThread, false});
    return id;
}

void TZpBaseDispatcher::UnregisterEventReceiver(int id) {
    std::lock_guard<std::mutex> g(stateLock_);
    for (auto& e : events_) {
        if (e.id == id) e.removed = true;
    }
    if (delivering_) {
        removePending_ = true;
    } else {
        std::erase_if(events_, [](const EventRecord& e) { return e.removed; });
    }
}

void TZpBaseDispatcher::SetPortWantsEvents(bool on) {
    std::lock_guard<std::mutex> g(stateLock_);
    portWantsEvents_ = on;
}

bool TZpBaseDispatcher::Delivering() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return delivering_;
}

bool TZpBaseDispatcher::FinishLater() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return finishLater_;
}

void TZpBaseDispatcher::SetFinishLater() {
    std::lock_guard<std::mutex> g(stateLock_);
    finishLater_ = true;
}

void TZpBaseDispatcher::DonePort(bool /*mayWait*/) {
    if (Delivering()) SetFinishLater();
}

void TZpBaseDispatcher::SetOnFinished(std::function<void()> call) {
    std::lock_guard<std::mutex> g(stateLock_);
    onFinished_ = std::move(call);
}

std::function<void()> TZpBaseDispatcher::FinishedCue() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return onFinished_;
}

void TZpBaseDispatcher::PostFinished() {
    if (std::function<void()> call = FinishedCue()) platform::PostToGui(std::move(call));
}

std::uint8_t TZpBaseDispatcher::ModemStatus() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return modemStatus_;
}

std::int16_t TZpBaseDispatcher::LastLineError() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return lineError_;
}

bool TZpBaseDispatcher::LineBreak() const {
    std::lock_guard<std::mutex> g(stateLock_);
    return lineBreak_;
}

// ---------------------------------------------------------------- checks and delivery

void TZpBaseDispatcher::HandleStatusMask(std::uint32_t mask, std::uint16_t lineErrors) {
    if (mask & (evCts | evDsr | evRlsd | evRing | evRingTrailing)) {
        const std::uint8_t status = ReadModemStatus();
        std::lock_guard<std::mutex> g(stateLock_);
        modemStatus_ = status;
    }
    if (mask & (evBreak | evError)) {
        // The errors the driver reported since the last ones: they replace the last word.
        std::lock_guard<std::mutex> g(stateLock_);
        lineError_ = static_cast<std::int16_t>(lineErrors | ((mask & evBreak) ? leBreak : 0));
        lineBreak_ = (mask & evBreak) != 0;
        lineErrorPending_ = true;
    }
    while (CheckStatusTriggers()) {
        if (FinishLater()) return;
    }
}

void TZpBaseDispatcher::ReportLineFailure() {
    std::lock_guard<std::mutex> g(stateLock_);
    lineError_ = -1;
    lineErrorPending_ = true;
}

bool TZpBaseDispatcher::CheckTimerTriggers() {
    std::uint16_t fired = 0;
    {
        std::lock_guard<std::mutex> g(stateLock_);
        const std::uint32_t now = platform::MillisecondClock();
        for (auto& t : timers_) {
            if (t.active && TimeReached(now, t.endMs)) {
                t.active = false;
                fired = t.handle;
                break;
            }
        }
    }
    if (fired == 0) return false;
    DeliverEvent(kMsgTriggerTimer, fired, 0);
    return true;
}

bool TZpBaseDispatcher::CheckStatusTriggers() {
    std::uint16_t fired = 0;
    std::uint16_t extra = 0;
    {
        std::lock_guard<std::mutex> g(stateLock_);
        const std::uint8_t changed = modemStatus_ ^ lastModemStatus_;
        for (auto& s : statuses_) {
            if (!s.active || s.hit) continue;
            const auto kind = s.handle & 7;
            if ((kind == stModem && (changed & s.value)) || (kind == stLine && lineErrorPending_)) {
                s.hit = true;
                fired = s.handle;
                extra = kind == stLine ? static_cast<std::uint16_t>(lineError_) : modemStatus_;
                break;
            }
        }
        if (fired == 0) {
            // A round without hits: what was seen is now old news.
            lastModemStatus_ = modemStatus_;
            lineErrorPending_ = false;
            for (auto& s : statuses_) s.hit = false;
        }
    }
    if (fired == 0) return false;
    DeliverEvent(kMsgTriggerStatus, fired, extra);
    return true;
}

bool TZpBaseDispatcher::CheckAvail() {
    std::size_t count = 0;
    {
        std::lock_guard<std::mutex> gs(stateLock_);
        if (availThreshold_ == 0) return false;
        std::lock_guard<std::mutex> gi(inputLock_);
        const std::size_t unread = UnreadLocked();
        if (received_ == lastNotified_ || unread < availThreshold_) return false;
        lastNotified_ = received_;
        count = unread;
    }
    DeliverEvent(kMsgTriggerAvail, static_cast<std::uint32_t>(std::min<std::size_t>(count, 0xFFFF)),
                 0);
    std::lock_guard<std::mutex> gi(inputLock_);
    // A handler that left bytes unread ends the round; they come again with the next batch.
    return lastDeliveryRead_ >= count;
}

void TZpBaseDispatcher::CheckTriggers() {
    while (CheckTimerTriggers() || CheckStatusTriggers()) {
        if (FinishLater()) return;
    }
    while (CheckAvail()) {
        if (FinishLater()) return;
    }
}

void TZpBaseDispatcher::DeliverEvent(std::uint32_t msg, std::uint32_t wParam, std::uint32_t extra) {
    std::vector<EventRecord> events;
    std::vector<std::shared_ptr<TZpWindowReceiver>> windows;
    {
        std::lock_guard<std::mutex> g(stateLock_);
        const bool serviceNeeded =
            portWantsEvents_ || std::any_of(events_.begin(), events_.end(),
                                            [](const EventRecord& e) { return !e.removed; });
        if (!serviceNeeded) {
            std::lock_guard<std::mutex> gi(inputLock_);
            lastDeliveryRead_ = 0;
            return;
        }
        delivering_ = true;
        for (const auto& e : events_) {
            if (!e.removed) events.push_back(e);
        }
        if (windows_.size() > 1 || portWantsEvents_) {
            for (const auto& w : windows_) {
                if (w.removed) continue;
                if (auto locked = w.window.lock()) windows.push_back(std::move(locked));
            }
        }
    }
    const bool readsData = msg == kMsgTriggerAvail || msg == kMsgTriggerData;
    {
        std::lock_guard<std::mutex> g(inputLock_);
        largestReadAhead_ = 0;
        readAhead_ = 0;
        inAvailDelivery_ = readsData;
    }
    const std::uint32_t lParam = (extra & 0xFFFF) | (static_cast<std::uint32_t>(handle_) << 16);
    auto beforeReceiver = [this] {
        std::lock_guard<std::mutex> g(inputLock_);
        readAhead_ = 0;
    };
    auto afterReceiver = [this] {
        std::lock_guard<std::mutex> g(inputLock_);
        largestReadAhead_ = std::max(largestReadAhead_, readAhead_);
    };
    for (auto& e : events) {
        if (FinishLater()) break;
        beforeReceiver();
        if (e.onGuiThread) {
            // Copies, not references: a call that outlives its 3000 ms keeps what it uses.
            if (!platform::SendToGui([receiver = e.receiver, msg, wParam, lParam] {
                    CallReceiver(receiver, msg, wParam, lParam);
                })) {
                ++deliveryTimeouts_;
            }
        } else {
            CallReceiver(e.receiver, msg, wParam, lParam);
        }
        afterReceiver();
    }
    for (auto& w : windows) {
        if (FinishLater()) break;
        beforeReceiver();
        // The call holds the window: a handler still running after the 3000 ms may close the
        // port, and its window must outlive the handler's frame.
        if (!platform::SendToGui([w, msg, wParam, lParam] { w->Procedure(msg, wParam, lParam); })) {
            ++deliveryTimeouts_;
        }
        afterReceiver();
    }
    {
        std::lock_guard<std::mutex> g(inputLock_);
        if (readsData) {
            const std::size_t unread = UnreadLocked();
            const std::size_t commit = std::min(largestReadAhead_, unread);
            tail_ = (tail_ + commit) % kDispatchBufferSize;
            if (commit > 0) full_ = false;
        }
        lastDeliveryRead_ = largestReadAhead_;
        inAvailDelivery_ = false;
        readAhead_ = 0;
        largestReadAhead_ = 0;
    }
    std::lock_guard<std::mutex> g(stateLock_);
    delivering_ = false;
    if (removePending_) {
        std::erase_if(windows_, [](const WindowRecord& w) { return w.removed; });
        std::erase_if(events_, [](const EventRecord& e) { return e.removed; });
        removePending_ = false;
    }
}

}  // namespace zp
