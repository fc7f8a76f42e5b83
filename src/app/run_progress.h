#pragma once
// What page 3 says of a programming run's progress beside its bar: the share done and,
// once the rate is known, about how long the rest will take.
#include <chrono>
#include <optional>
#include <string>

#include "device/run_progress.h"

namespace app {

// "42 %", then ", about 3 min left" or ", about 40 s left" when `left` is known.
std::string ProgressLine(int done, int steps, std::optional<std::chrono::seconds> left);

// The line for the steps of `progress` done by `now`.
std::string ProgressLine(const device::RunProgress& progress,
                         device::RunProgress::Clock::time_point now);

}  // namespace app
