#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "comm/dispatcher_registry.h"
#include "comm/zp_delays.h"
#include "comm/zp_gui_thread_dispatcher.h"
#include "comm/zp_port_events.h"
#include "message_recorder.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace {

using namespace zp;

// A transport whose far end sends back everything it is sent, a moment later, on the GUI
// thread: the way a socket's readiness arrives.
class LoopbackDispatcher : public TZpGuiThreadDispatcher {
  public:
    static constexpr std::size_t kRoom = 64;

    explicit LoopbackDispatcher(TZpCustomPort* owner,
                                TDispatcherKind kind = TDispatcherKind::Socket)
        : TZpGuiThreadDispatcher(owner, kind) {}
    ~LoopbackDispatcher() override { *alive_ = false; }

    std::int32_t PutBlock(const std::uint8_t* bytes, std::size_t length) override {
        if (length > kRoom) return ecOutputBufferTooSmall;
        platform::PostToGui(
            [this, alive = alive_, echo = std::vector<std::uint8_t>(bytes, bytes + length)] {
                if (*alive) Received(echo.data(), echo.size());
            });
        return 0;
    }
    std::size_t OutBuffFree() const override { return kRoom; }
    std::size_t OutBuffUsed() const override { return 0; }
    std::int32_t FlushOutBuffer() override { return 0; }

    // The device is ready: buffers and triggers reset, the modem lines taken as they are.
    void Start() { ResetForOpen(); }
    // The far end's modem lines, and a change of them (or a line error) reported.
    std::uint8_t modemLines = 0;
    void ReportStatus(std::uint32_t mask, std::uint16_t lineErrors = 0) {
        Queue().PushStatus(mask, lineErrors);
        Service();
    }

  protected:
    std::uint8_t ReadModemStatus() override { return modemLines; }

  private:
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class LoopbackPort : public TZpPortEvents<LoopbackPort> {
  public:
    LoopbackPort() : TZpPortEvents(dlWinsock) {}
    std::uint8_t modemLinesAtOpen = 0;
    LoopbackDispatcher* Loopback() const {
        return static_cast<LoopbackDispatcher*>(CurrentPortDispatcher());
    }

  protected:
    std::unique_ptr<TZpBaseDispatcher> OpenDevice() override {
        auto d = std::make_unique<LoopbackDispatcher>(this);
        d->modemLines = modemLinesAtOpen;
        d->Start();
        return d;
    }
};

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    return platform::ProcessMessagesUntil(done, timeoutMs);
}

TEST(PortLayer, SentBytesComeBackAsAvailNotificationsOnTheGuiThread) {
    LoopbackPort port;
    std::string read;
    std::vector<std::uint16_t> counts, generic;
    bool onGui = true;
    port.SetOnTrigger([&](LoopbackPort&, std::uint16_t msg, std::uint16_t, std::uint16_t data) {
        if (msg == kMsgTriggerAvail) generic.push_back(data);
    });
    port.SetOnTriggerAvail([&](LoopbackPort& cp, std::uint16_t count) {
        onGui = onGui && platform::IsGuiThread();
        counts.push_back(count);
        for (int i = 0; i < count; ++i) read += static_cast<char>(cp.ReceiveByte());
        EXPECT_THROW(cp.ReceiveByte(), EBufferIsEmpty);
    });
    port.SendString("hello");  // auto-open
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(WaitUntil([&] { return read.size() == 5; }));
    EXPECT_EQ(read, "hello");
    EXPECT_EQ(counts, std::vector<std::uint16_t>{5});
    EXPECT_EQ(generic, counts);
    EXPECT_TRUE(onGui);
    EXPECT_THROW(port.SendString(std::string(LoopbackDispatcher::kRoom + 1, 'x')),
                 EOutputBufferTooSmall);
}

TEST(PortLayer, TimerTriggersFireFromTheDeadlineWithoutPolling) {
    LoopbackPort port;
    std::vector<std::pair<std::uint16_t, std::uint32_t>> fired;
    port.SetOnTriggerTimer([&](LoopbackPort&, std::uint16_t h) {
        fired.emplace_back(h, platform::MillisecondClock());
    });
    port.SetOpen(true);
    LoopbackDispatcher& d = *port.Loopback();
    const std::uint16_t slow = port.AddTimerTrigger();
    const std::uint16_t fast = port.AddTimerTrigger();
    const std::uint16_t stopped = port.AddTimerTrigger();
    const std::uint32_t start = platform::MillisecondClock();
    port.SetTimerTrigger(slow, 8, true);
    port.SetTimerTrigger(stopped, 1, true);
    port.SetTimerTrigger(stopped, 0, false);
    // Set after the slow one, due before it: the single timer must be re-armed for it.
    port.SetTimerTrigger(fast, 2, true);
    EXPECT_LE(d.MsUntilNextTimer(), 2 * 55);
    ASSERT_TRUE(WaitUntil([&] { return fired.size() == 2; }));
    EXPECT_EQ(fired[0].first, fast);
    EXPECT_EQ(fired[1].first, slow);
    EXPECT_GE(fired[0].second - start, 2 * 55u - 1);
    EXPECT_LT(fired[0].second - start, 8 * 55u) << "the fast timer waited for the slow one";
    EXPECT_GE(fired[1].second - start, 8 * 55u - 1);
    // One wake per due timer, give or take a wake that came a millisecond early; a 50 ms
    // poll would have woken nine times in these 440 ms.
    EXPECT_LE(d.TimerWakes(), 4u);
    EXPECT_EQ(d.MsUntilNextTimer(), -1);
    const std::uint32_t wakes = d.TimerWakes();
    platform::ProcessMessagesUntil([] { return false; }, 150);
    EXPECT_EQ(d.TimerWakes(), wakes) << "an idle port woke up";
}

TEST(PortLayer, CloseInsideAHandlerCompletesWhenTheHandlerHasReturned) {
    LoopbackPort port;
    int closed = 0;
    bool openInside = false;
    port.SetOnPortClose([&](LoopbackPort&) { ++closed; });
    port.SetOnTriggerAvail([&](LoopbackPort& cp, std::uint16_t) {
        if (closed > 0) return;
        cp.SetOpen(false);
        openInside = cp.Open();
        // A wait inside the handler lets posted calls run; the dispatcher that is
        // delivering must survive it.
        platform::ProcessMessagesUntil([] { return false; }, 30);
        EXPECT_EQ(cp.ReceiveByte(), 0);
        cp.SetOpen(true);  // carried out once the close has completed
    });
    port.SendString("x");
    ASSERT_TRUE(WaitUntil([&] { return closed == 1 && port.Open(); }));
    EXPECT_TRUE(openInside);
    EXPECT_NE(port.Loopback(), nullptr);
    port.SetOpen(false);
    EXPECT_EQ(closed, 2);
    EXPECT_EQ(port.CurrentPortDispatcher(), nullptr);
}

TEST(PortLayer, GetBlockInsideAHandlerReadsOnFromWhatWasReadAhead) {
    LoopbackPort port;
    std::string got;
    std::int32_t tooMuch = 0;
    port.SetOnTriggerAvail([&](LoopbackPort& cp, std::uint16_t count) {
        if (count < 6) return;
        got += static_cast<char>(cp.ReceiveByte());
        std::uint8_t block[3];
        ASSERT_EQ(cp.CurrentPortDispatcher()->GetBlock(block, 3), 3);
        got.append(reinterpret_cast<char*>(block), 3);
        std::uint8_t rest[5];
        tooMuch = cp.CurrentPortDispatcher()->GetBlock(rest, 5);  // all or nothing
        got += static_cast<char>(cp.ReceiveByte());
    });
    port.SendString("abcdef");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 5; }));
    EXPECT_EQ(got, "abcde");
    EXPECT_EQ(tooMuch, ecBufferIsEmpty);
    EXPECT_EQ(port.InBuffUsed(), 1u);
    EXPECT_EQ(port.ReceiveByte(), 'f');
}

TEST(PortLayer, StatusTriggersSeeTheLinesAsTheyWereAtOpen) {
    LoopbackPort port;
    std::vector<std::string> events;
    port.SetOnTriggerModemStatus([&](LoopbackPort&) { events.push_back("modem"); });
    port.SetOnTriggerLineError([&](LoopbackPort&, std::uint16_t error, bool lineBreak) {
        events.push_back("line " + std::to_string(error) + (lineBreak ? " break" : ""));
    });
    port.modemLinesAtOpen = msCTS | msDSR | msDCD;
    port.SetOpen(true);
    LoopbackDispatcher& d = *port.Loopback();
    const std::uint16_t modem = port.AddStatusTrigger(stModem);
    port.SetStatusTrigger(modem, msDSR | msDCD, true);
    const std::uint16_t line = port.AddStatusTrigger(stLine);
    port.SetStatusTrigger(line, 0, true);
    // The terminal is switched off: DSR and DCD fall, CTS stays.
    d.modemLines = msCTS;
    d.ReportStatus(evDsr | evRlsd);
    ASSERT_EQ(events, std::vector<std::string>{"modem"}) << "a falling DSR and DCD went unseen";
    events.clear();
    d.ReportStatus(evError, leFrame | leOverrun);
    d.ReportStatus(evError | evBreak, leBreak);
    EXPECT_EQ(events, (std::vector<std::string>{"line 10", "line 16 break"}));
}

TEST(PortLayer, WhateverAHandlerThrowsStopsAtTheEventBoundary) {
    testsupport::MessageRecorder messages;
    LoopbackPort port;
    port.SetMessageSink(&messages);
    int calls = 0, receiverCalls = 0;
    port.SetOnTriggerAvail([&](LoopbackPort& cp, std::uint16_t count) {
        for (int i = 0; i < count; ++i) cp.ReceiveByte();
        if (++calls == 1) throw 42;
        if (calls == 2) throw std::runtime_error("handler failed");
    });
    port.SetOpen(true);
    port.CurrentPortDispatcher()->RegisterEventReceiver(
        [&](std::uint32_t, std::uint32_t, std::uint32_t) {
            ++receiverCalls;
            throw 7;
        },
        /*onGuiThread=*/false);
    for (const char* s : {"a", "b", "c"}) {
        port.SendString(s);
        ASSERT_TRUE(WaitUntil([&, n = calls + 1] { return calls == n; }));
    }
    EXPECT_EQ(receiverCalls, 3);
    ASSERT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(messages.boxes[0].text, "An event handler failed");
    EXPECT_EQ(messages.boxes[1].text, "handler failed");
}

TEST(PortLayer, RemovingTheAvailTriggerSwitchesTheNotificationOffForGood) {
    LoopbackPort port;
    int avails = 0, ticks = 0;
    port.SetOnTriggerAvail([&](LoopbackPort&, std::uint16_t) { ++avails; });
    port.SetOnTriggerTimer([&](LoopbackPort&, std::uint16_t) { ++ticks; });
    port.SetOpen(true);
    port.RemoveTrigger(LoopbackPort::kAvailTriggerHandle);
    EXPECT_EQ(port.AvailThreshold(), 0);
    port.SetOpen(false);
    port.SetOpen(true);
    port.SendString("x");
    // The echo comes back well before this timer.
    const std::uint16_t clock = port.AddTimerTrigger();
    port.SetTimerTrigger(clock, 2, true);
    ASSERT_TRUE(WaitUntil([&] { return ticks == 1; }));
    EXPECT_EQ(avails, 0);
    EXPECT_EQ(port.InBuffUsed(), 1u);
}

TEST(DispatcherRegistry, ALookupNamesTheKindItExpects) {
    LoopbackPort port;
    port.SetOpen(true);
    const std::int32_t handle = port.CurrentPortDispatcher()->Handle();
    EXPECT_EQ(registry::Find(handle, TDispatcherKind::Socket), port.CurrentPortDispatcher());
    EXPECT_EQ(registry::FindOwner(handle, TDispatcherKind::Socket), &port);
    EXPECT_EQ(registry::Find(handle, TDispatcherKind::Serial), nullptr);
    port.SetOpen(false);
    EXPECT_EQ(registry::Find(handle, TDispatcherKind::Socket), nullptr);
    // The freed slot taken by a dispatcher of the other kind is not the old one.
    LoopbackPort other;
    LoopbackDispatcher serialKind(&other, TDispatcherKind::Serial);
    ASSERT_EQ(serialKind.Handle(), handle);
    EXPECT_EQ(registry::FindOwner(handle, TDispatcherKind::Socket), nullptr);
    EXPECT_EQ(registry::FindOwner(handle, TDispatcherKind::Serial), &other);
}

}  // namespace

namespace {

TEST(Delays, TickDelayEndsWhenTheApplicationIsToldToQuit) {
    std::chrono::steady_clock::duration waited{};
    // Inside the application's own loop, as a handler of the program would wait.
    QTimer::singleShot(0, [&] {
        const auto start = std::chrono::steady_clock::now();
        zp::DelayTicks(200, true);  // 11 s unless the quit ends it
        waited = std::chrono::steady_clock::now() - start;
    });
    QTimer::singleShot(100, [] { QCoreApplication::quit(); });
    QTimer backstop;
    backstop.setSingleShot(true);
    QObject::connect(&backstop, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    backstop.start(20000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the application's loop missed the quit";
    EXPECT_GE(waited, std::chrono::milliseconds(90));
    EXPECT_LT(waited, std::chrono::seconds(3));
}

}  // namespace

namespace {

TEST(Delays, TickDelayKeepsEventsFlowingAndBusyDelayReturnsItsLength) {
    bool ran = false;
    platform::PostToGui([&] { ran = true; });
    const auto start = std::chrono::steady_clock::now();
    zp::DelayTicks(2, true);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2 * 55 - 1));
    EXPECT_TRUE(ran);
    const auto before = std::chrono::steady_clock::now();
    zp::DelayTicks(0, true);
    zp::DelayTicks(-5, false);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(50));
    EXPECT_EQ(zp::DelayMs(3), 3u);
}

}  // namespace
