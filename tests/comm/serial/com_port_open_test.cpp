#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "comm/dispatcher_registry.h"
#include "comm/serial/zp_serial_dispatcher.h"
#include "serial_fixture.h"

namespace serialtest {
namespace {

using namespace zp;

TEST_F(SerialTest, OpensAndClosesByComNumberOnce) {
    auto peer = Peer(3);
    TZpComPort port;
    Configure(port, 3);
    int opened = 0, closed = 0;
    port.SetOnPortOpen([&](TZpCustomComPort& cp) {
        ++opened;
        EXPECT_TRUE(cp.Open());
    });
    port.SetOnPortClose([&](TZpCustomComPort& cp) {
        ++closed;
        EXPECT_FALSE(cp.Open());
    });
    const int dispatchersBefore = registry::Count();
    port.SetOpen(true);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
    ASSERT_NE(port.CurrentDispatcher(), nullptr);
    EXPECT_EQ(port.CurrentDispatcher()->RunningThreads(), 4);
    EXPECT_EQ(registry::Count(), dispatchersBefore + 1);
    // Setting the number it already has leaves the open port alone.
    port.SetComNumber(3);
    EXPECT_EQ(opened, 1);
    port.SetOpen(false);
    port.SetOpen(false);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.CurrentDispatcher(), nullptr);
    EXPECT_EQ(registry::Count(), dispatchersBefore);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(closed, 1);
}

TEST_F(SerialTest, MissingDeviceRaisesBadIdAndALaterOpenSucceeds) {
    TZpComPort port;
    Configure(port, 5);
    EXPECT_THROW(port.SetOpen(true), EBadId);
    EXPECT_FALSE(port.Open());
    EXPECT_EQ(port.CurrentDispatcher(), nullptr);
    auto peer = Peer(5);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
}

TEST_F(SerialTest, HeldPortRaisesAlreadyOpenAndCountsAsPresent) {
    auto peer = Peer(2);
    TZpComPort first, second;
    Configure(first, 2);
    Configure(second, 2);
    first.SetOpen(true);
    EXPECT_THROW(second.SetOpen(true), EAlreadyOpen);
    EXPECT_FALSE(second.Open());
    EXPECT_TRUE(IsPortPresent(2));
    first.SetOpen(false);
    second.SetOpen(true);
    EXPECT_TRUE(second.Open());
    second.SetOpen(false);

    // Another program holding the device the way this one does.
    const int other = ::open(peer->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_THROW(first.SetOpen(true), EAlreadyOpen);
    EXPECT_TRUE(IsPortPresent(2));
    ::close(other);
    first.SetOpen(true);
    EXPECT_TRUE(first.Open());
}

TEST_F(SerialTest, AvailabilityTellsMissingFreeHeldAndForbiddenPortsApart) {
    auto free = Peer(4);
    auto held = Peer(2);
    const int other = ::open(held->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    folder.Write("COM6", "not a device");
    // A node nobody may open for writing, root included: what a serial device looks like
    // to a user outside the group that owns it.
    const char* forbidden = "/proc/sys/kernel/version";
    std::filesystem::create_symlink(forbidden, folder.Path() + "/COM7");
    const bool canForbid = ::open(forbidden, O_RDWR) < 0 && errno == EACCES;
    struct Case {
        std::uint16_t com;
        TPortAvailability availability;
        bool present;
    };
    const Case cases[] = {
        {0, TPortAvailability::Absent, false}, {9, TPortAvailability::Absent, false},
        {4, TPortAvailability::Free, true},    {2, TPortAvailability::Held, true},
        {6, TPortAvailability::Absent, false}, {7, TPortAvailability::NoAccess, false},
    };
    for (const Case& c : cases) {
        if (c.com == 7 && !canForbid) continue;
        EXPECT_EQ(PortAvailability(c.com), c.availability) << "COM" << c.com;
        EXPECT_EQ(IsPortPresent(c.com), c.present) << "COM" << c.com;
    }
    ::close(other);

    TZpComPort port;
    Configure(port, 6);
    EXPECT_THROW(port.SetOpen(true), EInOutError);
    EXPECT_FALSE(port.Open());
    if (canForbid) {
        port.SetComNumber(7);
        try {
            port.SetOpen(true);
            ADD_FAILURE() << "opened a device without access";
        } catch (const EDeviceAccessDenied& e) {
            EXPECT_EQ(e.DevicePath(), port.DevicePath());
            EXPECT_EQ(e.DevicePath().substr(e.DevicePath().size() - 5), "/COM7");
            EXPECT_EQ(e.ErrorCode(), EACCES);
            EXPECT_EQ(std::string(e.what()), std::strerror(EACCES));
        }
        EXPECT_FALSE(port.Open());
    }
    // The probes left nothing open behind them.
    port.SetComNumber(4);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
}

TEST_F(SerialTest, NoNumberChosenRaisesNoPortSelectedAlsoThroughAutoOpen) {
    TZpComPort port;
    port.SetPromptForPort(false);
    EXPECT_THROW(port.SetOpen(true), ENoPortSelected);
    EXPECT_THROW(port.SendString("x"), ENoPortSelected);
    EXPECT_THROW(port.ReceiveByte(), ENoPortSelected);
    port.SetAutoOpen(false);
    EXPECT_THROW(port.PurgeInput(), ECommNotOpen);
    EXPECT_FALSE(port.Open());
}

TEST_F(SerialTest, ClosedPortReportsOutSizeFreeWithoutOpening) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOutSize(1000);
    EXPECT_EQ(port.OutbuffFree(), 1000u);
    EXPECT_FALSE(port.Open());
    // Sending does open it (auto-open), and an empty string sends nothing.
    port.SendString("");
    EXPECT_TRUE(port.Open());
    port.SetOpen(false);
    port.SendString("hi");
    EXPECT_TRUE(port.Open());
    EXPECT_TRUE(peer->WaitForBytes(2));
    EXPECT_EQ(peer->Received(), "hi");
}

TEST_F(SerialTest, ChangingComNumberOnAnOpenPortReopensOnTheNewDevice) {
    auto peer1 = Peer(1);
    auto peer2 = Peer(2);
    int opened = 0, closed = 0;  // outlive the port, whose destruction runs the close handler
    TZpComPort port;
    Configure(port, 1);
    port.SetOnPortOpen([&](TZpCustomComPort&) { ++opened; });
    port.SetOnPortClose([&](TZpCustomComPort&) { ++closed; });
    port.SetOpen(true);
    port.SetComNumber(2);
    EXPECT_TRUE(port.Open());
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(closed, 1);
    port.SendString("two");
    EXPECT_TRUE(peer2->WaitForBytes(3));
    EXPECT_EQ(peer2->Received(), "two");
    EXPECT_EQ(peer1->Received(), "");
    // The first device is free again.
    TZpComPort other;
    Configure(other, 1);
    other.SetOpen(true);
    EXPECT_TRUE(other.Open());
}

}  // namespace
}  // namespace serialtest
