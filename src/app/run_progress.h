#pragma once
// What page 3 says of a programming run's progress beside its bar: the share done and,
// once a few seconds of steps have shown the rate, about how long the rest will take.
#include <chrono>
#include <optional>
#include <string>

namespace app {

// "42 %", then ", about 3 min left" or ", about 40 s left" when `left` is known.
std::string ProgressLine(int done, int steps, std::optional<std::chrono::seconds> left);

class RunProgress {
  public:
    using Clock = std::chrono::steady_clock;
    // Before the rate is trusted: the first steps of a run include its slower start.
    static constexpr std::chrono::seconds kRateAfter{3};

    void Start(int steps, Clock::time_point now);
    // One step further; the count stops at the end.
    void Step();
    // The line for the steps done by `now`.
    std::string Line(Clock::time_point now) const;

  private:
    int steps_ = 0;
    int done_ = 0;
    Clock::time_point start_{};
};

}  // namespace app
