#include "app/run_progress.h"

#include <algorithm>

namespace app {

namespace {
constexpr int kSecondsPerMinute = 60;
// Under a minute the time left is told in steps of this many seconds, rounded up, so the
// figure does not flicker from one step to the next.
constexpr int kSecondsGrain = 5;

std::string TimeLeft(std::chrono::seconds left) {
    const auto s = static_cast<int>(left.count());
    if (s < kSecondsPerMinute) {
        const int shown =
            std::max(kSecondsGrain, (s + kSecondsGrain - 1) / kSecondsGrain * kSecondsGrain);
        return shown >= kSecondsPerMinute ? "about 1 min left"
                                          : "about " + std::to_string(shown) + " s left";
    }
    return "about " + std::to_string((s + kSecondsPerMinute - 1) / kSecondsPerMinute) + " min left";
}
}  // namespace

std::string ProgressLine(int done, int steps, std::optional<std::chrono::seconds> left) {
    const int percent =
        steps > 0 ? static_cast<int>(100LL * std::clamp(done, 0, steps) / steps) : 0;
    std::string line = std::to_string(percent) + " %";
    if (left) line += ", " + TimeLeft(*left);
    return line;
}

std::string ProgressLine(const device::RunProgress& progress,
                         device::RunProgress::Clock::time_point now) {
    return ProgressLine(progress.Done(), progress.Steps(), progress.TimeLeft(now));
}

}  // namespace app
