#pragma once
// Ctrl+C while a job runs. The job is in the middle of the event loop's waits (a frame's
// reply, a transfer), where stopping it at once would leave a frame half sent or a file half
// written; so the signal only wakes the loop, and the job is told there, between two events,
// where it can stop cleanly. A second Ctrl+C ends the process at once, for a job that does
// not stop.
#include <functional>
#include <memory>

namespace cli {

class InterruptWatch {
  public:
    // From now until the watch ends, Ctrl+C (and a polite end, SIGTERM) calls `stop` on the
    // event loop. Needs the application object.
    explicit InterruptWatch(std::function<void()> stop);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    bool Interrupted() const { return interrupted_; }

  private:
    struct System;
    void Arrived();

    std::function<void()> stop_;
    bool interrupted_ = false;
    std::unique_ptr<System> system_;
};

}  // namespace cli
