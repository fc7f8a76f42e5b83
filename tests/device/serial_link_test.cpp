// The serial link on its own, on pseudo-terminals: the receive ring, the reply wait and
// its ends, and the probe's limits. The reply time-out is shortened here where the tests
// count requests rather than time; the window's own tests run at the real 2000 ms.
#include "device/serial_link.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "device/terminal_search.h"
#include "message_recorder.h"
#include "programming_support.h"
#include "pty_peer.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace {

using termsim::FrameKind;
using termsim::SimOptions;

class Link : public ::testing::Test {
  protected:
    void SetUp() override {
        port.SetMessageSink(&messages);
        port.SetPromptForPort(false);
        port.SetInSize(8192);
        port.SetOutSize(8192);
    }
    void TearDown() override {
        link.ClosePort();
        terminals.StopAll();
    }
    void OpenOn(unsigned com) {
        port.SetComNumber(static_cast<std::uint16_t>(com));
        port.SetOpen(true);
        ASSERT_TRUE(port.Open());
    }

    testsupport::TempFolder folder;
    std::string ports = folder.Path() + "ports";
    testsupport::ScopedEnvironment portsVariable{"ARVEX_COM_PORTS", ports};
    progtest::Terminals terminals{ports};
    testsupport::MessageRecorder messages;
    zp::TZpComPort port;
    std::string programDir = folder.Path();
    device::SerialLink link{port, programDir, device::LinkTimings{150, 10000, 50}};
};

TEST_F(Link, EveryByteIsKeptAndTheRingWrapsRound) {
    serialtest::PtyPeer peer(ports, 2);
    OpenOn(2);
    std::string sent, got;
    // Batches arrive in one data-available event each; the ring holds 32 bytes and wraps.
    for (int batch = 0; batch < 5; ++batch) {
        std::string bytes;
        for (int i = 0; i < 20; ++i) bytes.push_back(static_cast<char>(1 + batch * 20 + i));
        peer.Write(bytes);
        sent += bytes;
        for (int i = 0; i < 20; ++i) got.push_back(static_cast<char>(link.WaitReplyByte()));
    }
    EXPECT_EQ(got, sent);
    EXPECT_FALSE(link.TimedOut());

    // Nothing more: the wait ends with 0 and says it timed out; a received 00 does not.
    EXPECT_EQ(link.WaitReplyByte(), 0);
    EXPECT_TRUE(link.TimedOut());
    peer.Write(std::string(1, '\0'));
    EXPECT_EQ(link.WaitReplyByte(), 0);
    EXPECT_FALSE(link.TimedOut());
}

TEST_F(Link, AWaitEndsAtOnceWhenTheDeviceGoesAway) {
    serialtest::PtyPeer peer(ports, 2);
    OpenOn(2);
    // The reply time-out outlasts the watchdog: only the device's loss can end the wait, and
    // the watchdog ends it (and the test fails) if that does not.
    device::SerialLink patient{port, programDir, device::LinkTimings{60000, 10000, 50}};
    bool watchdog = false;
    QTimer::singleShot(5000, [&] {
        watchdog = true;
        patient.Timer_TimoutTimer();
    });
    QTimer::singleShot(100, [&] { peer.CloseMaster(); });
    EXPECT_EQ(patient.WaitReplyByte(), 0);
    EXPECT_TRUE(patient.TimedOut());
    EXPECT_FALSE(watchdog);
}

// A pause that never ended would hang here; one of nothing must not wait for a tick that a
// timer without a period never gives.
TEST_F(Link, PausesEnd) {
    link.Pause(30);
    link.Pause(0);
}

// Requests the probe sends when the answers keep asking for more.
struct ProbeLimit {
    const char* name;
    std::function<void(SimOptions&)> answers;
    uint8_t code;
    size_t identifies;
    size_t nudges;
    friend void PrintTo(const ProbeLimit& c, std::ostream* os) { *os << c.name; }
};

class ProbeLimits : public Link, public ::testing::WithParamInterface<ProbeLimit> {};

TEST_P(ProbeLimits, BoundTheRequests) {
    const ProbeLimit& c = GetParam();
    terminals.Start(3, c.answers);
    OpenOn(3);
    EXPECT_EQ(link.ProbePort(), c.code);
    // The last nudge may still be on its way when the probe gives up.
    serialtest::WaitFor([&] { return terminals.At(3).FramesReceived() >= c.identifies + c.nudges; },
                        2000);
    const termsim::SimResults r = terminals.At(3).Results();
    EXPECT_EQ(r.Count(FrameKind::Identify), c.identifies);
    EXPECT_EQ(r.Count(FrameKind::Nudge), c.nudges);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ProbeLimits,
    ::testing::Values(ProbeLimit{"NotReadySevenTimesThenTheCode",
                                 [](SimOptions& o) { o.model.faults.ffAnswers = 7; }, 1, 8, 7},
                      ProbeLimit{"NeverReadyIsAskedEightTimes",
                                 [](SimOptions& o) { o.model.faults.ffAnswers = 100; }, 0, 8, 8},
                      ProbeLimit{"NotReadyWithACodeForEverIsCapped",
                                 [](SimOptions& o) {
                                     o.model.faults.ffAnswers = 1000;
                                     o.model.faults.ffSecond = 0x01;
                                 },
                                 0, 16, 0},
                      ProbeLimit{
                          "Silence",
                          [](SimOptions& o) {
                              o.model.faults.silentAfter = termsim::FrameCount{FrameKind::Any, 0};
                          },
                          0, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The retry time outlasts the watchdog: a port kept for another pass would hold the search
// until the watchdog ends it (and the test fails).
TEST_F(Link, APortTheUserMayNotOpenIsStruckAtOnceAndNamed) {
    const std::string forbidden = ports + "/COM4";
    if (!progtest::PlaceForbiddenPort(forbidden)) GTEST_SKIP() << "nothing to forbid";
    bool watchdog = false;
    QTimer::singleShot(3000, [&] {
        watchdog = true;
        link.TimerComSearchTimer();
    });
    EXPECT_EQ(link.FindTerminal(), 0);
    EXPECT_FALSE(watchdog) << "the forbidden port was kept for another pass";
    EXPECT_EQ(link.LastSearch().denied, (std::vector<device::ComPortDevice>{{4, forbidden}}));
    EXPECT_FALSE(link.SearchRetryRunning());
    EXPECT_FALSE(port.Open());
}

TEST(SearchOrder, RunsFromTheStartRoundToTheOneBefore) {
    const std::vector<int> order = device::SearchOrder(250);
    ASSERT_EQ(order.size(), 256u);
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 8),
              (std::vector<int>{250, 251, 252, 253, 254, 255, 256, 1}));
    EXPECT_EQ(order.back(), 249);
    EXPECT_EQ(device::SearchOrder(0).front(), 1);
    EXPECT_EQ(device::SearchOrder(999).front(), 256);
    EXPECT_EQ(device::SearchOrder(1).back(), 256);
}

}  // namespace
