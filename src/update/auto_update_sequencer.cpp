#include "update/auto_update_sequencer.h"

#include <climits>

namespace update {

namespace {
constexpr int kWaitForStartPage = 1;
constexpr int kStart = 2;
constexpr int kFirstWatch = 3;
constexpr int kGiveUp = 604;  // about ten minutes of one-second ticks after the start
constexpr int kLeave = 2000;

constexpr int kTickMs = 1000;
constexpr int kLeaveDelayMs = 5000;
constexpr int kMsPerMinute = 60000;

// A long period must not wrap round into a negative interval.
int PeriodMs(int minutes) {
    if (minutes <= 0) return kTickMs;
    if (minutes > INT_MAX / kMsPerMinute) return INT_MAX;
    return minutes * kMsPerMinute;
}
}  // namespace

AutoUpdateTick AutoUpdateStep(int step, bool startPageShown, bool connectionActive,
                              int periodMinutes) {
    using Action = AutoUpdateTick::Action;
    if (step == kWaitForStartPage) {
        return {Action::None, startPageShown ? kStart : kWaitForStartPage, std::nullopt};
    }
    if (step == kStart) return {Action::StartCheck, kFirstWatch, std::nullopt};
    if (step >= kFirstWatch && step < kGiveUp) {
        if (connectionActive) return {Action::None, step + 1, std::nullopt};
        return {Action::None, kLeave, kLeaveDelayMs};
    }
    if (step == kGiveUp) return {Action::PressCancel, kStart, std::nullopt};
    if (step == kLeave) return {Action::PressCancel, 0, PeriodMs(periodMinutes)};
    return {Action::None, kWaitForStartPage, kTickMs};
}

}  // namespace update
