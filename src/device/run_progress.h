#pragma once
// How far a programming run has come and, once a few seconds of steps have shown the rate,
// about how long the rest will take: the window's page and arvex's bar tell the same time.
#include <chrono>
#include <optional>

namespace device {

class RunProgress {
  public:
    using Clock = std::chrono::steady_clock;
    // Before the rate is trusted: the first steps of a run include its slower start.
    static constexpr std::chrono::seconds kRateAfter{3};

    void Start(int steps, Clock::time_point now);
    // One step further; the count stops at the end.
    void Step();
    int Steps() const { return steps_; }
    int Done() const { return done_; }
    // The time the remaining steps take at the rate so far; nothing while it is not known.
    std::optional<std::chrono::seconds> TimeLeft(Clock::time_point now) const;

  private:
    int steps_ = 0;
    int done_ = 0;
    Clock::time_point start_{};
};

}  // namespace device
