#pragma once
// The link between the programming runs and the serial port: frames out, reply bytes in
// through a small ring, waits with a time-out, timed pauses, the identification of a
// terminal on an open port and the search over the COM ports. Everything runs on the GUI
// thread; every wait is the platform's blocking message wait, so the window stays alive
// and the thread sleeps until a byte, a timer tick or a user's click arrives.
//
// The Plantrix, Tessara and Granulo runs share one link: FindTerminal at the start of a
// run, SendFrame / SendControlByte for every frame, WaitReplyByte for every reply.
//
// The link owns what its waits poll: the receive ring, its three timers and their flags.
// It needs an event loop but no window, so a run can be driven from a terminal as well.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/serial/zp_com_port.h"
#include "device/bootloader_frames.h"
#include "platform/window_timer.h"

namespace device {

struct LinkTimings {
    int replyTimeoutMs = 2000;  // per awaited byte
    int searchRetryMs = 10000;  // busy ports are retried this long after the first pass
    // Between two passes that only met busy ports, the search waits this long (or until
    // the search ends) instead of reopening them in a tight loop.
    int retryPassPauseMs = 250;
};

// A COM port and the device it stands for, as the user is told of it.
struct ComPortDevice {
    int comNumber = 0;
    std::string device;
    bool operator==(const ComPortDevice&) const = default;
};

// What the last search learned beside the hardware code.
struct SearchReport {
    std::optional<ComPortDevice> found;  // where the terminal answered
    std::vector<ComPortDevice> denied;   // exist, but this user may not open them
    std::vector<ComPortDevice> busy;     // still held by another program when it gave up
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
    SerialLink(zp::TZpCustomComPort& port, const std::string& programDir, LinkTimings timings = {});
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    zp::TZpCustomComPort& Port() { return port_; }
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
    // The last WaitReplyByte got no byte: it tells a time-out from a received 00.
    bool TimedOut() const { return timedOut_; }
    // Returns after `ms`, processing messages meanwhile.
    void Pause(int ms);
    void ResetRing();
    // The port's purges; on a closed port they do nothing.
    void PurgeInput();
    void PurgeOutput();
    // Lets the frame on its way leave whole, then closes the port.
    void ClosePort();

    // ---- the terminal ----
    // The hardware code 1..3 of a terminal in program mode on the open port, else 0.
    std::uint8_t ProbePort();
    // Searches the ports from the remembered one; sets and returns HardwareCode. On
    // success the port stays open on the found number and "ComPort.txt" names it.
    std::uint8_t FindTerminal();
    // 1, 2 or 3: the code the terminal of the last search identified itself with; 0: none.
    int HardwareCode() const { return hardwareCode_; }
    const SearchReport& LastSearch() const { return report_; }
    // Ports held by another program are being retried: the search's retry time runs.
    bool SearchRetryRunning() const { return comSearchTimer_.Enabled(); }
    // The user left the wizard or closed the window: the search or run going ends at its
    // next step. From now on nothing is sent and every wait of the link returns at once;
    // a search closes its port. The next FindTerminal starts afresh.
    void Abandon();
    bool Abandoned() const { return abandoned_; }
    // Marked by the run going from its first frame that changes the terminal until it ends:
    // stopping it in between leaves the terminal to be programmed again.
    void SetWriting(bool writing) { writing_ = writing; }
    bool Writing() const { return writing_; }

    // ---- the timers' ticks; tests give one at once by calling them ----
    void Timer_TimoutTimer();
    void TimerDelayTimer();
    void TimerComSearchTimer();

    const LinkCounters& Counters() const { return counters_; }

  private:
    bool Send(const std::string& bytes);
    bool LineGone() const;
    // Waits (the thread, bounded) until the output ring is empty and the line has had the
    // time the last frame needs at the port's rate.
    void LetOutputLeave();
    static void Note(std::vector<ComPortDevice>& list, int comNumber);

    zp::TZpCustomComPort& port_;
    const std::string& programDir_;
    LinkTimings timings_;
    SearchReport report_;
    bool abandoned_ = false;
    bool writing_ = false;
    int hardwareCode_ = 0;

    // The ring has no overflow guard: the protocol never has more than two reply bytes
    // outstanding, and each identification empties it before it waits. Equal positions
    // mean empty, so 32 unread bytes read as none.
    static constexpr std::size_t kRxRingSize = 32;
    std::array<std::uint8_t, kRxRingSize> rxBuffer_{};
    std::size_t rxReadPos_ = 0;
    std::size_t rxWritePos_ = 0;

    platform::WindowTimer replyTimer_;      // ends a reply wait
    platform::WindowTimer delayTimer_;      // ends a pause
    platform::WindowTimer comSearchTimer_;  // ends the retries of busy ports
    bool timedOut_ = false;
    bool delayActive_ = false;
    bool comSearchActive_ = false;

    LinkCounters counters_;
    std::chrono::steady_clock::time_point lastSendAt_{};
    std::size_t lastSendBytes_ = 0;
};

}  // namespace device
