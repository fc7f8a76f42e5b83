#pragma once
// Line rates that termios has no speed constant for, through the kernel's arbitrary-rate
// interface. Kept apart because its declarations clash with <termios.h>.
#include <cstdint>

namespace zp {

// Sets both directions of `fd` to `baud`: 0, or -2002 when the driver refuses the rate.
std::int32_t SetCustomRate(int fd, std::int32_t baud);
// The output rate the driver runs now, 0 when it cannot tell.
std::int32_t CurrentRate(int fd);

}  // namespace zp
