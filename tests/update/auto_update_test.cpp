// The unattended sequencer's steps, from the rare ones the window test does not reach.
#include <gtest/gtest.h>

#include <climits>

#include "update/auto_update_sequencer.h"

using update::AutoUpdateStep;
using Action = update::AutoUpdateTick::Action;

TEST(AutoUpdate, StepsAndIntervals) {
    const struct {
        int step;
        bool startPage, active;
        int minutes;
        Action action;
        int next;
        std::optional<int> interval;
    } cases[] = {
        {0, true, false, 60, Action::None, 1, 1000},
        {1500, true, false, 60, Action::None, 1, 1000},  // a step that is no step starts over
        {1, false, false, 60, Action::None, 1, std::nullopt},
        {2, false, true, 60, Action::StartCheck, 3, std::nullopt},
        {603, true, true, 60, Action::None, 604, std::nullopt},
        {603, true, false, 60, Action::None, 2000, 5000},
        {604, false, true, 60, Action::PressCancel, 2, std::nullopt},
        {2000, false, false, 60, Action::PressCancel, 0, 3600000},
        {2000, false, false, 99999, Action::PressCancel, 0, INT_MAX},  // no wrap into minus
    };
    for (const auto& c : cases) {
        const auto tick = AutoUpdateStep(c.step, c.startPage, c.active, c.minutes);
        EXPECT_EQ(tick.action, c.action) << c.step;
        EXPECT_EQ(tick.nextStep, c.next) << c.step;
        EXPECT_EQ(tick.intervalMs, c.interval) << c.step << " " << c.minutes;
    }
}
