#include <gtest/gtest.h>

#include <QTimer>

#include "platform/gui_thread.h"
#include "platform/message_wait.h"
#include "platform/window_timer.h"

namespace {

TEST(WindowTimer, TicksOnTheGuiThreadUntilDisabled) {
    platform::WindowTimer timer;
    int ticks = 0;
    bool onGui = true;
    timer.OnTimer = [&] {
        onGui = onGui && platform::IsGuiThread();
        if (++ticks == 3) timer.SetEnabled(false);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    platform::ProcessMessagesUntil([&] { return !timer.Enabled(); });
    // A disabled timer stays quiet.
    bool later = false;
    QTimer::singleShot(60, [&] { later = true; });
    platform::ProcessMessagesUntil([&] { return later; });
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(onGui);
}

TEST(WindowTimer, DoesNotTickWhileDisabledOrWithoutInterval) {
    platform::WindowTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    bool later = false;
    QTimer::singleShot(50, [&] { later = true; });
    platform::ProcessMessagesUntil([&] { return later; });
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer.Enabled());
}

TEST(WindowTimer, ChangingTheIntervalRestartsTheCount) {
    platform::WindowTimer timer;
    bool fired = false;
    timer.OnTimer = [&] { fired = true; timer.SetEnabled(false); };
    // Still counting the hour, the timer would not tick within the wait's bound.
    timer.SetInterval(3600 * 1000);
    timer.SetEnabled(true);
    timer.SetInterval(20);
    EXPECT_TRUE(platform::ProcessMessagesUntil([&] { return fired; }, 10000));
    EXPECT_EQ(timer.Interval(), 20);
}

TEST(WindowTimer, TickRunsTheHandlerDirectly) {
    platform::WindowTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.Tick();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(timer.Enabled());
}

}  // namespace
