#pragma once
// The millisecond clock of the communication components and the short busy delay.
#include <cstdint>

namespace platform {

// Milliseconds on a steady clock, in 32 bits: the count wraps every 49.7 days, so callers
// compare times by their unsigned difference, never by their order.
std::uint32_t MillisecondClock();

// Spins for `ms` milliseconds without yielding; meant for delays of a few milliseconds
// between serial bytes, where a sleep would oversleep.
void BusyDelay(std::uint32_t ms);

}  // namespace platform
