#pragma once
// The link between the programming runs and the serial port: frames out, reply bytes in
// through a small ring, waits with a time-out, timed pauses, the identification of a
// terminal on an open port and the search over the COM ports. Everything runs on the GUI
// thread; every wait is the platform's blocking message wait, so the window stays alive
// and the thread sleeps until a byte, a timer tick or a user's click arrives.
//
// The Plantrix, Tessara and Granulo runs share one link: FindTerminal at the start of a
// run, SendFrame / SendControlByte for every frame, WaitReplyByte for every reply.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/serial/zp_com_port.h"
#include "device/bootloader_frames.h"
#include "device/link_state.h"
#include "platform/window_timer.h"

namespace device {

// The window's timers that the link's waits run on. The link sets their handlers' effects
// through its tick functions below; the window binds each timer's OnTimer to them.
struct LinkTimers {
    platform::WindowTimer& replyTimeout;  // Timer_Timout
    platform::WindowTimer& delay;         // TimerDelay
    platform::WindowTimer& comSearch;     // TimerComSearch
};

struct LinkTimings {
    int replyTimeoutMs = 2000;  // per awaited byte
    int searchRetryMs = 10000;  // busy ports are retried this long after the first pass
    // Between two passes that only met busy ports, the search waits this long (or until
    // the search ends) instead of reopening them in a tight loop.
    int retryPassPauseMs = 250;
};

// A COM port that exists but that this user may not open.
struct DeniedPort {
    int comNumber = 0;
    std::string device;
    bool operator==(const DeniedPort&) const = default;
};

// What went over the line, for the benchmark's protocol floor.
struct LinkCounters {
    std::size_t framesSent = 0;  // frames and control bytes, each after its 5 ms pause
    std::size_t bytesSent = 0;
    std::size_t bytesReceived = 0;
};

class SerialLink {
  public:
    // `programDir` (with its trailing "/") holds "ComPort.txt"; the string is read at each
    // use, so it may change after construction. Binds the port's OnTriggerAvail.
    SerialLink(zp::TZpCustomComPort& port, LinkState& state, LinkTimers timers,
               const std::string& programDir, LinkTimings timings = {});
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    zp::TZpCustomComPort& Port() { return port_; }
    LinkState& State() { return state_; }
    const LinkTimings& Timings() const { return timings_; }

    // ---- bytes ----
    // The port's data-available handler: every unread byte goes into the ring.
    void ComPortTriggerAvail(std::uint16_t count);
    // Sleeps 5 ms (the thread, no message processing), then queues the whole frame when
    // the output ring has room for it; otherwise nothing goes out and the reply wait that
    // follows times out.
    void SendFrame(const Frame& frame);
    void SendControlByte(std::uint8_t byte);
    // The next byte of the ring, or 0 after the reply time-out without one (TimedOut then
    // reads true). Also 0 at once, TimedOut true, when the port is closed or its device went
    // away while waiting.
    std::uint8_t WaitReplyByte();
    // Returns after `ms`, processing messages meanwhile.
    void Pause(int ms);
    void ResetRing();
    // The port's purges; on a closed port they do nothing.
    void PurgeInput();
    void PurgeOutput();
    void ClosePort();

    // ---- the terminal ----
    // The hardware code 1..3 of a terminal in program mode on the open port, else 0.
    std::uint8_t ProbePort();
    // Searches the ports from the remembered one; sets and returns HardwareCode. On
    // success the port stays open on the found number and "ComPort.txt" names it.
    std::uint8_t FindTerminal();
    // Ports of the last search that exist but could not be opened for lack of access.
    const std::vector<DeniedPort>& DeniedPorts() const { return denied_; }
    // The user left the wizard: a running search ends at its next step, with the port
    // closed. The next FindTerminal starts afresh.
    void AbandonSearch() { abandoned_ = true; }
    bool SearchAbandoned() const { return abandoned_; }

    // ---- the timers' ticks ----
    void Timer_TimoutTimer();
    void TimerDelayTimer();
    void TimerComSearchTimer();

    const LinkCounters& Counters() const { return counters_; }

  private:
    bool Send(const std::string& bytes);
    bool LineGone() const;
    void NoteDenied(int comNumber);

    zp::TZpCustomComPort& port_;
    LinkState& state_;
    LinkTimers timers_;
    const std::string& programDir_;
    LinkTimings timings_;
    std::vector<DeniedPort> denied_;
    bool abandoned_ = false;
    LinkCounters counters_;
};

}  // namespace device
