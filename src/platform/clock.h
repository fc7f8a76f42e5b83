#pragma once
// The millisecond clock of the communication components and the short busy delay.
#include <cstdint>

namespace platform {

// Milliseconds on a steady clock; wraps at 2^32 like the original's multimedia clock, so
// callers compare times by unsigned difference.
std::uint32_t MillisecondClock();

// Spins for `ms` milliseconds without yielding; meant for delays of a few milliseconds
// between serial bytes, where a sleep would oversleep.
void BusyDelay(std::uint32_t ms);

}  // namespace platform
