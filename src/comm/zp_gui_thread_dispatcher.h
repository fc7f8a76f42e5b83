#pragma once
// A dispatcher without worker threads, for a transport whose readiness arrives on the GUI
// thread (the socket port: a socket notifier reports readable data there). Everything runs
// on the GUI thread: received bytes are handed in with Received, and one single-shot timer,
// armed for the earliest timer trigger, runs the checks when that trigger is due. Nothing
// wakes it in between, so an idle port costs nothing.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "comm/zp_base_dispatcher.h"

class QTimer;

namespace zp {

class TZpGuiThreadDispatcher : public TZpBaseDispatcher {
  public:
    // Create and use on the GUI thread only.
    TZpGuiThreadDispatcher(TZpCustomPort* owner, TDispatcherKind kind);
    ~TZpGuiThreadDispatcher() override;

    // Bytes read from the device: queued, moved into the dispatch buffer as far as it has
    // room, and announced to the receivers (an avail notification) before this returns.
    void Received(const std::uint8_t* bytes, std::size_t count);
    // One round of processing: fill the dispatch buffer, run the checks, re-arm the timer.
    // A call made while a round runs (from a handler's nested event loop) is folded into
    // the running round instead of nesting a delivery inside a delivery.
    void Service();

    // Purges both directions and closes the device (CloseDevice); inside a delivery the
    // dispatcher is marked finish-later and posts the finished cue when the round ends.
    void DonePort(bool mayWait) override;
    bool Busy() const override { return servicing_ || Delivering(); }

    // How many times the timer has run the checks (for tests and diagnostics).
    std::uint32_t TimerWakes() const { return timerWakes_; }

  protected:
    // Closes the transport's device; the dispatcher's buffers stay until it is freed.
    virtual void CloseDevice() {}
    void TimersChanged() override;
    void InputRoomMade() override;

  private:
    void ArmTimer();

    std::unique_ptr<QTimer> timer_;
    bool servicing_ = false;
    bool again_ = false;
    bool done_ = false;
    std::uint32_t timerWakes_ = 0;
};

}  // namespace zp
