// The progress line under the bar: the share done, and the time left once the rate is known.
#include "app/run_progress.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using device::RunProgress;

TEST(RunProgress, SaysTheShareAndOnceTheRateIsKnownTheTimeLeft) {
    const struct {
        const char* name;
        int steps;
        int done;
        RunProgress::Clock::duration elapsed;
        std::string line;
    } cases[] = {
        {"nothing done yet", 200, 0, 10s, "0 %"},
        {"too soon for a rate", 200, 50, 2900ms, "25 %"},
        {"seconds rounded up to fives", 200, 150, 3s, "75 %, about 5 s left"},
        {"under a minute", 100, 10, 4s, "10 %, about 40 s left"},
        {"just under a minute rounds to one", 100, 50, 59s, "50 %, about 1 min left"},
        {"minutes rounded up", 1000, 100, 25s, "10 %, about 4 min left"},
        {"share rounded down", 3, 2, 1s, "66 %"},
        {"done", 40, 40, 30s, "100 %"},
        {"steps beyond the end are not counted", 2, 5, 30s, "100 %"},
    };
    const RunProgress::Clock::time_point start{};
    for (const auto& c : cases) {
        RunProgress progress;
        progress.Start(c.steps, start);
        for (int i = 0; i < c.done; ++i) progress.Step();
        EXPECT_EQ(app::ProgressLine(progress, start + c.elapsed), c.line) << c.name;
    }
}

}  // namespace
