#pragma once
// The published events of a port, with the concrete port as their sender so that a
// handler gets the port it was attached to (a TZpCustomComPort&, a socket port&). Assigning
// or clearing any trigger event tells the dispatcher whether to deliver to the port.
#include <cstdint>
#include <functional>

#include "comm/zp_custom_port.h"

namespace zp {

template <class Port>
class TZpPortEvents : public TZpCustomPort {
  public:
    using TPortEvent = std::function<void(Port& cp)>;
    using TTriggerEvent = std::function<void(Port& cp, std::uint16_t msg,
                                             std::uint16_t triggerHandle, std::uint16_t data)>;
    using TTriggerAvailEvent = std::function<void(Port& cp, std::uint16_t count)>;
    using TTriggerHandleEvent = std::function<void(Port& cp, std::uint16_t triggerHandle)>;
    using TTriggerLineErrorEvent =
        std::function<void(Port& cp, std::uint16_t error, bool lineBreak)>;

    void SetOnPortOpen(TPortEvent e) { onPortOpen_ = std::move(e); }
    void SetOnPortClose(TPortEvent e) { onPortClose_ = std::move(e); }
    void SetOnTrigger(TTriggerEvent e) { Assign(onTrigger_, std::move(e)); }
    void SetOnTriggerAvail(TTriggerAvailEvent e) { Assign(onTriggerAvail_, std::move(e)); }
    void SetOnTriggerData(TTriggerHandleEvent e) { Assign(onTriggerData_, std::move(e)); }
    void SetOnTriggerStatus(TTriggerHandleEvent e) { Assign(onTriggerStatus_, std::move(e)); }
    void SetOnTriggerTimer(TTriggerHandleEvent e) { Assign(onTriggerTimer_, std::move(e)); }
    void SetOnTriggerLineError(TTriggerLineErrorEvent e) {
        Assign(onTriggerLineError_, std::move(e));
    }
    void SetOnTriggerModemStatus(TPortEvent e) { Assign(onTriggerModemStatus_, std::move(e)); }
    void SetOnTriggerOutbuffFree(TPortEvent e) { Assign(onTriggerOutbuffFree_, std::move(e)); }
    void SetOnTriggerOutbuffUsed(TPortEvent e) { Assign(onTriggerOutbuffUsed_, std::move(e)); }
    void SetOnTriggerOutSent(TPortEvent e) { Assign(onTriggerOutSent_, std::move(e)); }

  protected:
    using TZpCustomPort::TZpCustomPort;

    bool WantsEvents() const override {
        return onTrigger_ || onTriggerAvail_ || onTriggerData_ || onTriggerStatus_ ||
               onTriggerTimer_ || onTriggerLineError_ || onTriggerModemStatus_ ||
               onTriggerOutbuffFree_ || onTriggerOutbuffUsed_ || onTriggerOutSent_;
    }
    void PortOpened() override { Fire(onPortOpen_); }
    void PortClosed() override { Fire(onPortClose_); }
    void Trigger(std::uint16_t msg, std::uint16_t handle, std::uint16_t data) override {
        Fire(onTrigger_, msg, handle, data);
    }
    void TriggerAvail(std::uint16_t count) override { Fire(onTriggerAvail_, count); }
    void TriggerData(std::uint16_t handle) override { Fire(onTriggerData_, handle); }
    void TriggerTimer(std::uint16_t handle) override { Fire(onTriggerTimer_, handle); }
    void TriggerStatus(std::uint16_t handle) override { Fire(onTriggerStatus_, handle); }
    void TriggerModemStatus() override { Fire(onTriggerModemStatus_); }
    void TriggerLineError(std::uint16_t error, bool lineBreak) override {
        Fire(onTriggerLineError_, error, lineBreak);
    }
    void TriggerOutbuffFree() override { Fire(onTriggerOutbuffFree_); }
    void TriggerOutbuffUsed() override { Fire(onTriggerOutbuffUsed_); }
    void TriggerOutSent() override { Fire(onTriggerOutSent_); }

  private:
    template <class Event>
    void Assign(Event& slot, Event e) {
        slot = std::move(e);
        UpdateWantsEvents();
    }
    // A copy runs, so that a handler may replace or clear its own event.
    template <class Event, class... Args>
    void Fire(const Event& event, Args... args) {
        if (!event) return;
        Event call = event;
        call(static_cast<Port&>(*this), args...);
    }

    TPortEvent onPortOpen_, onPortClose_;
    TTriggerEvent onTrigger_;
    TTriggerAvailEvent onTriggerAvail_;
    TTriggerHandleEvent onTriggerData_, onTriggerStatus_, onTriggerTimer_;
    TTriggerLineErrorEvent onTriggerLineError_;
    TPortEvent onTriggerModemStatus_, onTriggerOutbuffFree_, onTriggerOutbuffUsed_,
        onTriggerOutSent_;
};

}  // namespace zp
