#pragma once
// The delays of the communication components.
#include <cstdint>

namespace zp {

// Spins for `ms` milliseconds without processing messages; returns ms.
std::uint32_t DelayMs(std::uint32_t ms);
// Waits ticks × 55 ms (capped at 39045157 ticks); with `processMessages`, keeps the GUI
// thread's events flowing meanwhile and ends early when the application is quitting.
void DelayTicks(std::int32_t ticks, bool processMessages);

}  // namespace zp
