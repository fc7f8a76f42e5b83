#pragma once
// The unattended update checks (/T): one step per tick of the window's timer. It waits
// for the start page, starts a check, watches it for about ten minutes at most (then
// cancels it and starts anew), leaves the finished check's page 5 s after it ended and
// sleeps the period until the next check.
#include <optional>

namespace update {

struct AutoUpdateTick {
    enum class Action {
        None,
        StartCheck,   // step 1 of the check on page 3, then its Next
        PressCancel,  // page 2's cancel: aborts a running check, or leaves a finished one
    };
    Action action = Action::None;
    int nextStep = 0;
    std::optional<int> intervalMs;  // nothing: the timer keeps its interval
};

// What the tick at `step` does. `startPageShown`: the window is on the start page;
// `connectionActive`: the FTP client is not closed; `periodMinutes`: the /T period.
AutoUpdateTick AutoUpdateStep(int step, bool startPageShown, bool connectionActive,
                              int periodMinutes);

}  // namespace update
