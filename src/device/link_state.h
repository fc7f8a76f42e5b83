#pragma once
// The serial link's share of the program-wide state: the timer flags its waits poll, the
// receive ring that the port's data-available event fills, and the hardware code of the
// terminal last found. The window holds one set (app::ProgramState derives from it) and
// the link works on it, so a tick of the window's timers and the link see the same flags.
#include <array>
#include <cstdint>

namespace device {

inline constexpr int kRxRingSize = 32;

struct LinkState {
    bool TimedOut = false;         // set by the reply time-out's tick
    bool DelayActive = false;      // true while a pause runs
    bool ComSearchActive = false;  // true while the search repeats its passes

    // Positions 1..32; equal positions mean empty. The ring has no overflow guard: the
    // protocol never has more than two reply bytes outstanding, and the identification
    // resets both positions before it waits.
    std::array<std::uint8_t, kRxRingSize + 1> RxBuffer{};
    int RxReadPos = 1;
    int RxWritePos = 1;

    // 1, 2 or 3: the code the terminal identified itself with; 0: none found.
    int HardwareCode = 0;
};

}  // namespace device
