#pragma once
// A simulated terminal on a pseudo-terminal: the state machine of terminal_model.h behind a
// line the program opens as COM n. It runs either on the caller's thread (Run, as the
// command-line tool does) or on a thread of its own (Start/Stop, as tests do), paces the
// line if asked, and keeps what it saw for Results().
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "pty_line.h"
#include "sim_options.h"
#include "sim_results.h"
#include "terminal_model.h"

namespace termsim {

enum class EndReason : uint8_t {
    Stopped,      // the stop descriptor became readable (Stop, a signal)
    RunComplete,  // exitAfterRun: the run completed
    PortClosed,   // exitAfterRun: the program closed the port after the run began
    Idle,         // exitAfterRun: nothing arrived for the idle time
    Unplugged,    // the device vanished (fault)
    Failed,       // the line failed
};
std::string_view EndReasonName(EndReason reason);

class TerminalSimulator {
  public:
    explicit TerminalSimulator(SimOptions options);
    ~TerminalSimulator();
    TerminalSimulator(const TerminalSimulator&) = delete;
    TerminalSimulator& operator=(const TerminalSimulator&) = delete;

    // Opens the line and publishes COM<n> in the ports folder; from then on the program
    // can open it. False, with the reason in `error`, when that fails.
    bool Open(std::string& error);
    // Runs on the calling thread until `stopFd` becomes readable or, with exitAfterRun,
    // the run ends. The line is closed and its link removed before it returns.
    EndReason Run(int stopFd);

    // Open, then Run on a thread of its own.
    bool Start(std::string& error);
    // Ends the thread that Start began; results stay available.
    void Stop();

    // The link the program opens, and the pseudo-terminal it points to.
    const std::string& PortPath() const { return portPath_; }
    const std::string& DevicePath() const { return devicePath_; }

    // A copy of everything recorded so far.
    SimResults Results() const;
    unsigned CompleteRuns() const { return completeRuns_.load(); }
    std::size_t FramesReceived() const { return framesReceived_.load(); }
    // Whether the program holds the port, as the simulator last saw it; a close and
    // reopen quicker than the simulator looks may go unseen.
    bool PortHeld() const { return portHeld_.load(); }
    bool Ended() const { return ended_.load(); }
    // Blocks until `runs` runs have completed in all (true), or the simulator ended or the
    // time is up.
    bool WaitForRunComplete(std::chrono::milliseconds timeout, unsigned runs = 1) const;

  private:
    struct Pending {
        TimePoint ready;
        Bytes bytes;
        std::size_t sent = 0;
        bool unplug = false;
    };

    void Receive(const uint8_t* bytes, std::size_t count, TimePoint now);
    bool ReadLine(TimePoint now);
    bool SendDue(TimePoint now, TimePoint& wakeAt, bool& blocked);
    std::size_t Transmit(const uint8_t* bytes, std::size_t count);
    void Enqueue(Pending item);
    void Stream(TimePoint now, TimePoint& wakeAt);
    void LineClosed();
    void SetConnected(bool held);
    void WriteFiles();
    EndReason End(EndReason reason);
    void Notify();

    SimOptions options_;
    std::unique_ptr<PtyLine> line_;
    std::string portPath_;
    std::string devicePath_;
    std::chrono::nanoseconds byteTime_{0};

    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::unique_ptr<TerminalModel> model_;  // under lock_

    // The loop's own state.
    std::deque<Pending> pending_;
    bool connected_ = false;
    bool closedDuringRun_ = false;
    TimePoint rxFree_{};
    TimePoint txLast_{};
    TimePoint lastReceived_{};
    TimePoint nextStream_{};
    unsigned filesWrittenForRuns_ = 0;

    std::atomic<unsigned> completeRuns_{0};
    std::atomic<std::size_t> framesReceived_{0};
    std::atomic<bool> ended_{false};
    std::atomic<bool> portHeld_{false};

    std::thread thread_;
    int stopEvent_ = -1;
};

}  // namespace termsim
