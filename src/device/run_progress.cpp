#include "device/run_progress.h"

#include <algorithm>

namespace device {

void RunProgress::Start(int steps, Clock::time_point now) {
    steps_ = std::max(steps, 0);
    done_ = 0;
    start_ = now;
}

void RunProgress::Step() { done_ = std::min(done_ + 1, steps_); }

std::optional<std::chrono::seconds> RunProgress::TimeLeft(Clock::time_point now) const {
    const auto elapsed = now - start_;
    if (done_ <= 0 || done_ >= steps_ || elapsed < kRateAfter) return std::nullopt;
    const auto perStep = elapsed / done_;
    return std::chrono::ceil<std::chrono::seconds>(perStep * (steps_ - done_));
}

}  // namespace device
