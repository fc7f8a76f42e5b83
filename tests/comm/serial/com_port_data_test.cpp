#include <random>
#include <vector>

#include "comm/serial/zp_serial_dispatcher.h"
#include "platform/gui_thread.h"
#include "serial_fixture.h"

namespace serialtest {
namespace {

using namespace zp;

std::string Pattern(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(random());
    return s;
}

// Sends `data` as the program does: no more at a time than OutbuffFree allows.
void SendAll(TZpComPort& port, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const std::size_t room = port.OutbuffFree();
        if (room == 0) {
            ASSERT_TRUE(WaitFor([&] { return port.OutbuffFree() > 0; }));
            continue;
        }
        const std::size_t n = std::min(room, data.size() - sent);
        port.SendString(data.substr(sent, n));
        sent += n;
    }
}

TEST_F(SerialTest, SentBytesArriveIntactAndInOrder) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOpen(true);
    const std::string small("\x00\x01\xff\r\n small", 12);
    port.SendString(small);
    port.SendByte(0x7E);
    ASSERT_TRUE(peer->WaitForBytes(13));
    EXPECT_EQ(peer->Received(), small + "\x7E");

    const std::string big = Pattern(1 << 20, 1);
    SendAll(port, big);
    ASSERT_TRUE(peer->WaitForBytes(13 + big.size(), 30000));
    EXPECT_TRUE(peer->Received().substr(13) == big) << "the 1 MiB payload arrived damaged";
}

// Records every avail notification and reads as told.
struct AvailRecorder {
    std::vector<std::uint16_t> counts;
    std::string read;
    bool allOnGuiThread = true;
    int extraReadFailures = 0;
    // How many of Count bytes a call reads: all unless told otherwise.
    std::function<int(std::uint16_t count, std::size_t call)> plan;

    void Attach(TZpComPort& port) {
        port.SetOnTriggerAvail([this](TZpCustomComPort& cp, std::uint16_t count) {
            allOnGuiThread = allOnGuiThread && platform::IsGuiThread();
            const std::size_t call = counts.size();
            counts.push_back(count);
            const int n = plan ? plan(count, call) : count;
            for (int i = 0; i < n; ++i) read += static_cast<char>(cp.ReceiveByte());
            if (n == count) {
                try {
                    cp.ReceiveByte();
                } catch (const EBufferIsEmpty&) {
                    ++extraReadFailures;
                }
            }
        });
    }
};

TEST_F(SerialTest, AvailReportsAllUnreadBytesOnTheGuiThread) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    AvailRecorder avail;
    avail.Attach(port);
    std::vector<std::uint16_t> generic;
    port.SetOnTrigger([&](TZpCustomComPort&, std::uint16_t msg, std::uint16_t, std::uint16_t data) {
        if (msg == kMsgTriggerAvail) generic.push_back(data);
    });
    port.SetOpen(true);
    peer->Write("abcdef");
    ASSERT_TRUE(WaitFor([&] { return avail.read.size() == 6; }));
    EXPECT_EQ(avail.read, "abcdef");
    EXPECT_TRUE(avail.allOnGuiThread);
    // Reading Count bytes worked every time and one more failed every time.
    EXPECT_EQ(avail.extraReadFailures, static_cast<int>(avail.counts.size()));
    EXPECT_THROW(port.ReceiveByte(), EBufferIsEmpty);
    // The general trigger event comes first and carries the same count.
    EXPECT_EQ(generic, avail.counts);
}

TEST_F(SerialTest, UnreadBytesComeAgainOnlyWithTheNextBatch) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    AvailRecorder avail;
    bool release = false;
    avail.plan = [&](std::uint16_t count, std::size_t) { return release ? count : 0; };
    avail.Attach(port);
    int timerTicks = 0;
    port.SetOnTriggerTimer([&](TZpCustomComPort&, std::uint16_t) { ++timerTicks; });
    port.SetOpen(true);
    peer->Write("abc");
    ASSERT_TRUE(WaitFor([&] { return !avail.counts.empty() && avail.counts.back() == 3; }));
    const std::size_t calls = avail.counts.size();
    EXPECT_EQ(port.InBuffUsed(), 3u);
    // Several rounds of the event thread pass without a repeat.
    const std::uint16_t clock = port.AddTimerTrigger();
    port.SetTimerTrigger(clock, 4, true);
    ASSERT_TRUE(WaitFor([&] { return timerTicks == 1; }));
    EXPECT_EQ(avail.counts.size(), calls);
    release = true;
    peer->Write("de");
    ASSERT_TRUE(WaitFor([&] { return avail.read.size() == 5; }));
    EXPECT_EQ(avail.read, "abcde");
    EXPECT_GE(avail.counts[calls], 4) << "the next notification did not include the old bytes";
}

TEST_F(SerialTest, PurgeInputInsideTheHandlerDiscardsEverythingUnread) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::string read;
    std::vector<std::uint16_t> counts;
    bool purged = false;
    bool emptyAfterPurge = false;
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t count) {
        counts.push_back(count);
        if (!purged) {
            if (count < 5) return;  // wait for the whole first batch
            read += static_cast<char>(cp.ReceiveByte());
            cp.PurgeInput();
            purged = true;
            EXPECT_EQ(cp.InBuffUsed(), 0u);
            try {
                cp.ReceiveByte();
            } catch (const EBufferIsEmpty&) {
                emptyAfterPurge = true;
            }
            return;
        }
        for (int i = 0; i < count; ++i) read += static_cast<char>(cp.ReceiveByte());
    });
    port.SetOpen(true);
    peer->Write("12345");
    ASSERT_TRUE(WaitFor([&] { return purged; }));
    EXPECT_TRUE(emptyAfterPurge);
    EXPECT_EQ(port.InBuffUsed(), 0u);
    peer->Write("xyz");
    ASSERT_TRUE(WaitFor([&] { return read.size() == 4; }));
    EXPECT_EQ(read, "1xyz");
    EXPECT_LE(counts.back(), 3) << "purged bytes were offered again";
}

TEST_F(SerialTest, PurgeInputOutsideTheHandler) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    std::size_t reported = 0;
    std::uint16_t lastCount = 0;
    bool reading = false;
    port.SetOnTriggerAvail([&](TZpCustomComPort& cp, std::uint16_t count) {
        reported = count;
        lastCount = count;
        if (reading) {
            for (int i = 0; i < count; ++i) cp.ReceiveByte();
        }
    });
    port.SetOpen(true);
    peer->Write("abc");
    ASSERT_TRUE(WaitFor([&] { return reported == 3; }));
    EXPECT_EQ(port.InBuffUsed(), 3u);
    port.PurgeInput();
    EXPECT_EQ(port.InBuffUsed(), 0u);
    EXPECT_THROW(port.ReceiveByte(), EBufferIsEmpty);
    reading = true;
    peer->Write("d");
    ASSERT_TRUE(WaitFor([&] { return reported == 1; }));
    EXPECT_EQ(lastCount, 1);
}

// The peer stops the port's output with XOFF, so that the write thread is stuck holding
// what it took and the output ring can be filled exactly.
class StoppedOutputTest : public SerialTest {
  protected:
    void StartStopped(std::uint16_t outSize) {
        peer = Peer(1, /*packetMode=*/true);
        Configure(port, 1);
        port.SetOutSize(outSize);
        port.SetSWFlowOptions(swfTransmit);
        port.SetOpen(true);
        peer->Write("\x13");
        ASSERT_TRUE(peer->WaitForOutputStopped());
        // The write thread takes this and then cannot get rid of it.
        port.SendString("head");
        ASSERT_TRUE(WaitFor([&] { return port.OutbuffFree() == outSize; }));
    }

    std::unique_ptr<PtyPeer> peer;
    TZpComPort port;
};

TEST_F(StoppedOutputTest, FillingTheRingExactlyLeavesNoRoom) {
    StartStopped(64);
    const std::string block = Pattern(64, 2);
    std::string clean = block;
    for (char& c : clean) {
        if (c == 0x11 || c == 0x13) c = 'x';  // flow-control characters would be eaten
    }
    port.SendString(clean);
    EXPECT_EQ(port.OutbuffFree(), 0u);
    EXPECT_THROW(port.SendByte('!'), EOutputBufferTooSmall);
    EXPECT_EQ(port.OutbuffUsed(), 64u);
    peer->Write("\x11");
    ASSERT_TRUE(peer->WaitForBytes(4 + 64));
    EXPECT_EQ(peer->Received(), "head" + clean);
    EXPECT_TRUE(WaitFor([&] { return port.OutbuffFree() == 64; }));
}

TEST_F(StoppedOutputTest, PurgeOutputDropsWhatWasNotSent) {
    StartStopped(8192);
    port.SendString("queued");
    EXPECT_EQ(port.OutbuffUsed(), 6u);
    port.PurgeOutput();
    EXPECT_EQ(port.OutbuffFree(), 8192u);
    peer->Write("\x11");
    port.SendString("Z");
    ASSERT_TRUE(peer->WaitForBytes(1));
    EXPECT_EQ(peer->Received(), "Z");
}

}  // namespace
}  // namespace serialtest
