#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QTimer>
#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_box.h"
#include "platform/message_wait.h"

namespace {

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(MessageWait, SleepsUntilATimerClearsTheFlag) {
    bool active = true;
    QTimer::singleShot(500, [&] { active = false; });
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = ProcessCpuSeconds();
    platform::ProcessMessagesWhile(active);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(active);
    EXPECT_GE(waited, std::chrono::milliseconds(450));
    // A spinning wait would burn the whole half second.
    EXPECT_LT(cpu, 0.1) << "the wait kept a core busy";
}

TEST(MessageWait, ReturnsAtOnceWhenTheConditionAlreadyHolds) {
    int checks = 0;
    platform::ProcessMessagesUntil([&] { return ++checks > 0; });
    EXPECT_EQ(checks, 1);
}

TEST(MessageWait, AWorkerCanWakeAWaitOnAPlainFlag) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        done = true;
        platform::WakeMessageWait();
    });
    platform::ProcessMessagesUntil([&] { return done.load(); });
    worker.join();
    EXPECT_TRUE(done);
}

// Once the window has gone for good nothing waits any more and nobody is asked anything.
TEST(MessageWait, EndedWaitsReturnAtOnceAndNoBoxIsShown) {
    bool asked = false;
    const platform::MessageAnswerer previous = platform::SetMessageAnswerer(
        [&](const std::string&, const std::string&, platform::MessageButtons) {
            asked = true;
            return platform::MessageAnswer::Yes;
        });
    platform::EndMessageWaits();
    platform::ProcessMessagesUntil([] { return false; });
    EXPECT_FALSE(platform::ProcessMessagesUntil([] { return false; }, 60000));
    EXPECT_EQ(platform::ShowMessageBox("", "Install it now?", platform::MessageButtons::YesNo),
              platform::MessageAnswer::No);
    EXPECT_FALSE(asked);
    platform::ResumeMessageWaits();
    EXPECT_EQ(platform::ShowMessageBox("", "Install it now?", platform::MessageButtons::YesNo),
              platform::MessageAnswer::Yes);
    platform::SetMessageAnswerer(previous);
}

TEST(GuiThread, PostedCallsRunOnTheGuiThreadInOrder) {
    std::vector<int> order;
    bool onGui = true;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            platform::PostToGui([&, i] {
                onGui = onGui && platform::IsGuiThread();
                order.push_back(i);
            });
        }
    });
    worker.join();
    platform::ProcessMessagesUntil([&] { return order.size() == 3; });
    EXPECT_TRUE(onGui);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(GuiThread, SentCallWaitsForTheHandler) {
    std::atomic<bool> sent{false};
    std::atomic<bool> result{false};
    int value = 0;
    std::thread worker([&] {
        result = platform::SendToGui([&] { value = 42; });
        sent = true;
        platform::WakeMessageWait();
    });
    platform::ProcessMessagesUntil([&] { return sent.load(); });
    worker.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(value, 42);
}

TEST(GuiThread, SentCallGivesUpAfter3000msWhileTheGuiThreadIsBlocked) {
    std::atomic<bool> ran{false};
    std::atomic<int> elapsedMs{-1};
    std::atomic<bool> result{true};
    std::thread worker([&] {
        const auto start = std::chrono::steady_clock::now();
        result = platform::SendToGui([&] { ran = true; });
        elapsedMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
    });
    // The GUI thread is stuck in a long handler and processes nothing meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(3400));
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_GE(elapsedMs.load(), 2950);
    EXPECT_LT(elapsedMs.load(), 3400);
    // Once the GUI thread is free again the abandoned call must not run behind the sender.
    platform::ProcessPendingMessages();
    EXPECT_FALSE(ran);
}

TEST(Clock, BusyDelayLastsAtLeastItsTime) {
    const std::uint32_t start = platform::MillisecondClock();
    platform::BusyDelay(20);
    EXPECT_GE(static_cast<std::uint32_t>(platform::MillisecondClock() - start), 20u);
}

}  // namespace

namespace {

TEST(MessageWait, BoundedWaitEndsAtItsLimitWithoutSpinning) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuBefore = ProcessCpuSeconds();
    EXPECT_FALSE(platform::ProcessMessagesUntil([] { return false; }, 200));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(190));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_LT(ProcessCpuSeconds() - cpuBefore, 0.1);
}

TEST(MessageWait, BoundedWaitReturnsWhenAWorkerMeetsTheCondition) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        done = true;
        platform::WakeMessageWait();
    });
    EXPECT_TRUE(platform::ProcessMessagesUntil([&] { return done.load(); }, 5000));
    worker.join();
}

}  // namespace

namespace {

// A call from a worker that waits inside (as a handler showing a message box does) must
// not hold up the calls posted after it.
TEST(GuiThread, ACallThatWaitsLetsLaterCallsRun) {
    bool innerRan = false;
    bool outerDone = false;
    std::atomic<bool> outerStarted{false};
    std::thread worker([&] {
        platform::PostToGui([&] {
            outerStarted = true;
            platform::ProcessMessagesUntil([&] { return innerRan; }, 5000);
            outerDone = true;
        });
        while (!outerStarted) std::this_thread::yield();
        platform::PostToGui([&] { innerRan = true; });
    });
    platform::ProcessMessagesUntil([&] { return outerDone; }, 10000);
    worker.join();
    EXPECT_TRUE(innerRan);
    EXPECT_TRUE(outerDone);
}

}  // namespace
