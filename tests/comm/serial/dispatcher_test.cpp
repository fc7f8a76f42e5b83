#include <signal.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <stdexcept>
#include <thread>

#include "comm/dispatcher_registry.h"
#include "comm/serial/posix/status_wake_signal.h"
#include "comm/serial/zp_serial_dispatcher.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"
#include "serial_fixture.h"

namespace serialtest {
namespace {

using namespace zp;

TEST_F(SerialTest, TimerTriggersFireAfterTheirTicksAndCanBeStopped) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::vector<std::pair<std::uint16_t, std::uint32_t>> fired;
    port.SetOnTriggerTimer([&](TZpCustomComPort&, std::uint16_t h) {
        fired.emplace_back(h, platform::MillisecondClock());
    });
    port.SetOpen(true);
    const std::uint16_t a = port.AddTimerTrigger();
    const std::uint16_t stopped = port.AddTimerTrigger();
    const std::uint16_t last = port.AddTimerTrigger();
    EXPECT_EQ(a % 8, 0);
    EXPECT_NE(a, stopped);
    const std::uint32_t start = platform::MillisecondClock();
    port.SetTimerTrigger(a, 2, true);
    port.SetTimerTrigger(stopped, 1, true);
    port.SetTimerTrigger(stopped, 0, false);
    port.SetTimerTrigger(last, 4, true);
    ASSERT_TRUE(WaitFor([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired[0].first, a);
    EXPECT_EQ(fired[1].first, last);
    EXPECT_GE(fired[0].second - start, 2 * 55u - 5);
    EXPECT_GE(fired[1].second - start, 4 * 55u - 5);
    // A ticks value of 0 re-arms with the previous length.
    port.SetTimerTrigger(a, 0, true);
    ASSERT_TRUE(WaitFor([&] { return fired.size() == 3; }));
    EXPECT_EQ(fired[2].first, a);
    EXPECT_THROW(port.SetTimerTrigger(12345, 1, true), EBadTriggerHandle);
    port.RemoveTrigger(a);
    EXPECT_THROW(port.RemoveTrigger(a), EBadTriggerHandle);
}

TEST_F(SerialTest, TimerTriggersSurviveReopeningOnAnotherNumber) {
    auto peer1 = Peer(1);
    auto peer2 = Peer(2);
    TZpComPort port;
    Configure(port, 1);
    std::vector<std::uint16_t> fired;
    port.SetOnTriggerTimer([&](TZpCustomComPort&, std::uint16_t h) { fired.push_back(h); });
    port.SetOpen(true);
    const std::uint16_t h = port.AddTimerTrigger();
    port.SetTimerTrigger(h, 3, true);
    port.SetComNumber(2);
    ASSERT_TRUE(WaitFor([&] { return !fired.empty(); }));
    EXPECT_EQ(fired[0], h);
    // The next handle does not collide with the restored one.
    EXPECT_NE(port.AddTimerTrigger(), h);
}

TEST_F(SerialTest, AvailNotTakenWithinTheSendLimitIsNotRepeated) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::vector<std::uint16_t> counts;
    std::string read;
    int timerTicks = 0;
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t count) {
        counts.push_back(count);
        for (int i = 0; i < count; ++i) read += static_cast<char>(cp.ReceiveByte());
    });
    port.SetOnTriggerTimer([&](TZpCustomComPort&, std::uint16_t) { ++timerTicks; });
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    peer->Write("ab");
    // The GUI thread is busy elsewhere until the event thread gives up on the delivery.
    for (int i = 0; i < 1000 && d.DeliveryTimeouts() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(d.DeliveryTimeouts(), 1u);
    platform::ProcessPendingMessages();
    EXPECT_TRUE(counts.empty()) << "a delivery that timed out still ran";
    const std::uint16_t clock = port.AddTimerTrigger();
    port.SetTimerTrigger(clock, 4, true);
    ASSERT_TRUE(WaitFor([&] { return timerTicks == 1; }));
    EXPECT_TRUE(counts.empty()) << "the timed-out delivery was repeated";
    peer->Write("c");
    ASSERT_TRUE(WaitFor([&] { return read.size() == 3; }));
    EXPECT_EQ(read, "abc");
    EXPECT_EQ(counts.front(), 3);
}

TEST_F(SerialTest, ClosingInsideTheAvailHandlerIsDeferred) {
    auto peer = Peer(1);
    int closed = 0;  // outlives the port, whose destruction may still run the handler
    TZpComPort port;
    Configure(port, 1);
    bool openInsideHandler = false;
    std::uint8_t readWhileShuttingDown = 0xAA;
    std::chrono::steady_clock::duration closeTook{};
    port.SetOnPortClose([&](TZpCustomComPort&) { ++closed; });
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t) {
        if (!cp.Open()) return;
        const auto start = std::chrono::steady_clock::now();
        cp.SetOpen(false);
        closeTook = std::chrono::steady_clock::now() - start;
        openInsideHandler = cp.Open();
        readWhileShuttingDown = cp.ReceiveByte();
    });
    port.SetOpen(true);
    peer->Write("x");
    ASSERT_TRUE(WaitFor([&] { return closed == 1; }));
    EXPECT_TRUE(openInsideHandler) << "the close completed inside the delivery";
    EXPECT_EQ(readWhileShuttingDown, 0);
    // It did not sit out the bounded waits for an event thread that waits for it.
    EXPECT_LT(closeTook, std::chrono::milliseconds(1500));
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.CurrentDispatcher(), nullptr);

    // An open asked for while the close is pending is carried out after it.
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t) {
        if (closed != 1) return;
        cp.SetOpen(false);
        cp.SetOpen(true);
    });
    port.SetOpen(true);
    peer->Write("y");
    ASSERT_TRUE(WaitFor([&] { return closed == 2 && port.Open(); }));
    port.SendString("ok");
    EXPECT_TRUE(peer->WaitForBytes(2));
}

TEST_F(SerialTest, ClosingWhileADeliveryWaitsForTheGuiThreadCompletes) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    int handled = 0, closed = 0;
    port.SetOnTriggerAvail([&](TZpCustomComPort&, std::uint16_t) { ++handled; });
    port.SetOnPortClose([&](TZpCustomComPort&) { ++closed; });
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    peer->Write("abc");
    for (int i = 0; i < 1000 && !d.Delivering(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(d.Delivering());
    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(handled, 0) << "a handler ran on a port that was shutting down";
}

TEST_F(SerialTest, ADeviceThatDisappearsIsReportedAndNothingOnThePortBlocksOrRaises) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOnTriggerAvail([](TZpCustomComPort&, std::uint16_t) {});
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    EXPECT_FALSE(port.DeviceLost());
    const auto start = std::chrono::steady_clock::now();
    // Unplugged once the wait below is under way: a plain message wait, with no trigger
    // and no timer to wake it, so only the loss itself can end it.
    platform::PostToGui([&] { peer->CloseMaster(); });
    ASSERT_TRUE(platform::ProcessMessagesUntil([&] { return port.DeviceLost(); }, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    ASSERT_TRUE(WaitFor([&] { return d.RunningThreads() == 0; }));
    EXPECT_EQ(d.ThreadFailure(), ecDeviceRead);
    EXPECT_TRUE(port.Open());
    // What a programming run does between frames, on a port whose adapter is gone.
    const auto actions = std::chrono::steady_clock::now();
    EXPECT_NO_THROW(port.PurgeInput());
    EXPECT_NO_THROW(port.PurgeOutput());
    for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(port.SendString(std::string(8000, 'x')));
    EXPECT_EQ(port.OutbuffFree(), 8192u) << "sent bytes wait for a device that is gone";
    EXPECT_NO_THROW(port.SetBaud(9600));
    EXPECT_LT(std::chrono::steady_clock::now() - actions, std::chrono::milliseconds(1000));
    EXPECT_THROW(port.ReceiveByte(), EBufferIsEmpty);
    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
}

TEST_F(SerialTest, ALineErrorTriggerReportsADeviceThatDisappeared) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::vector<std::uint16_t> lineErrors;
    port.SetOnTriggerLineError(
        [&](TZpCustomComPort&, std::uint16_t error, bool) { lineErrors.push_back(error); });
    port.SetOpen(true);
    const std::uint16_t trigger = port.AddStatusTrigger(stLine);
    port.SetStatusTrigger(trigger, 0, true);
    peer->CloseMaster();
    ASSERT_TRUE(WaitFor([&] { return !lineErrors.empty(); }));
    EXPECT_EQ(lineErrors[0], 0xFFFF);
}

TEST_F(SerialTest, AFullDispatchBufferThatNobodyReadsCostsNoCpu) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOnTriggerAvail([](TZpCustomComPort&, std::uint16_t) {});
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    constexpr std::size_t kSent = 20000;
    peer->StartWriting(std::string(kSent, 'z'));
    ASSERT_TRUE(WaitFor([&] {
        return d.InbuffUsed() == TZpBaseDispatcher::kDispatchBufferSize &&
               d.QueuedInputBytes() == kSent - TZpBaseDispatcher::kDispatchBufferSize;
    }));
    peer->JoinWriter();
    timespec before{}, after{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    platform::ProcessMessagesUntil([] { return false; }, 1000);
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const double cpu = (after.tv_sec - before.tv_sec) + (after.tv_nsec - before.tv_nsec) / 1e9;
    EXPECT_LT(cpu, 0.1) << "the process used " << cpu << " s of CPU in one second of waiting";
    // Reading makes room, and what waited moves in.
    std::uint8_t c;
    ASSERT_TRUE(WaitFor([&] { return !d.Delivering(); }));
    ASSERT_EQ(d.GetChar(c), 0);
    EXPECT_TRUE(WaitFor([&] { return d.QueuedInputBytes() == kSent - 8192 - 1; }));
}

TEST_F(SerialTest, AnOnPortOpenThatRaisesLeavesThePortClosedAndTheDeviceFree) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOnPortOpen([](TZpCustomComPort&) { throw std::runtime_error("no"); });
    const int dispatchers = registry::Count();
    EXPECT_THROW(port.SetOpen(true), std::runtime_error);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.CurrentDispatcher(), nullptr);
    EXPECT_EQ(registry::Count(), dispatchers);
    TZpComPort other;
    Configure(other, 1);
    other.SetOpen(true);
    EXPECT_TRUE(other.Open()) << "the failed open still holds the device";
    other.SetOpen(false);
    port.SetOnPortOpen(nullptr);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
}

TEST_F(SerialTest, InputBeyondTheDispatchBufferWaitsBoundedAndArrivesIntact) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::string data(2 << 20, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    std::string read;
    bool reading = false;
    std::size_t largestQueue = 0;
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t count) {
        largestQueue = std::max(largestQueue, cp.CurrentDispatcher()->QueuedInputBytes());
        if (!reading) return;
        for (int i = 0; i < count; ++i) read += static_cast<char>(cp.ReceiveByte());
    });
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    peer->StartWriting(data);
    constexpr std::size_t limit = TZpSerialDispatcher::kMaxQueuedInput;
    // The program is not reading: the buffer fills and the queue stops at its limit.
    ASSERT_TRUE(WaitFor([&] { return d.QueuedInputBytes() >= limit - 256; }, 30000));
    EXPECT_EQ(d.InbuffUsed(), TZpBaseDispatcher::kDispatchBufferSize);
    largestQueue = std::max(largestQueue, d.QueuedInputBytes());
    reading = true;
    // Reading a byte outside a handler frees room, and the notifications resume. (With no
    // delivery under way: a read during one would count against that delivery.)
    ASSERT_TRUE(WaitFor([&] { return !d.Delivering(); }));
    read += static_cast<char>(port.ReceiveByte());
    ASSERT_TRUE(WaitFor([&] { return read.size() == data.size(); }, 60000));
    peer->JoinWriter();
    EXPECT_LE(largestQueue, limit + 256);
    EXPECT_TRUE(read == data) << "received bytes were lost or reordered";
}

}  // namespace
}  // namespace serialtest

namespace serialtest {
namespace {

using namespace zp;

TEST_F(SerialTest, EventReceiversRunOnTheThreadTheyAskedFor) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOpen(true);
    TZpSerialDispatcher& d = *port.CurrentDispatcher();
    std::atomic<int> onGui{0}, onWorker{0}, misplaced{0};
    const int gui = d.RegisterEventReceiver(
        [&](std::uint32_t msg, std::uint32_t, std::uint32_t) {
            if (msg != kMsgTriggerAvail) return;
            (platform::IsGuiThread() ? onGui : misplaced)++;
        },
        /*onGuiThread=*/true);
    const int worker = d.RegisterEventReceiver(
        [&](std::uint32_t msg, std::uint32_t, std::uint32_t) {
            if (msg != kMsgTriggerAvail) return;
            (platform::IsGuiThread() ? misplaced : onWorker)++;
        },
        /*onGuiThread=*/false);
    peer->Write("a");
    ASSERT_TRUE(WaitFor([&] { return onGui > 0 && onWorker > 0; }));
    EXPECT_EQ(misplaced, 0);
    d.UnregisterEventReceiver(gui);
    d.UnregisterEventReceiver(worker);
}

TEST(StatusWakeSignal, IsAFreeRealtimeSignalAndHarmlessWhenItArrives) {
    const int chosen = StatusWakeSignal();
    ASSERT_NE(chosen, 0);
    EXPECT_GE(chosen, SIGRTMIN);
    EXPECT_LE(chosen, SIGRTMAX);
    EXPECT_EQ(StatusWakeSignal(), chosen) << "installed more than once";
    EXPECT_TRUE(StatusWakeSignalIsOurs());
    // Sent to the whole process, it ends nothing.
    ASSERT_EQ(::raise(chosen), 0);
    // A signal somebody else handles is never chosen: give the next free one a handler
    // and the choice moves past it.
    const int next = FindFreeRealtimeSignal();
    ASSERT_NE(next, 0);
    EXPECT_NE(next, chosen);
    struct sigaction theirs {
    }, previous{};
    theirs.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(next, &theirs, &previous), 0);
    EXPECT_NE(FindFreeRealtimeSignal(), next);
    ::sigaction(next, &previous, nullptr);
    EXPECT_EQ(FindFreeRealtimeSignal(), next);
}

}  // namespace
}  // namespace serialtest
