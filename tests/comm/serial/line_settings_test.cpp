#include <termios.h>

#include <string>

#include "comm/serial/posix/serial_custom_rate.h"
#include "comm/serial/posix/serial_line_termios.h"
#include "comm/serial/serial_device.h"
#include "serial_fixture.h"

namespace serialtest {
namespace {

using namespace zp;

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;

LineSettings Line(int dataBits, TParity parity, int stopBits) {
    LineSettings line;
    line.dataBits = dataBits;
    line.parity = parity;
    line.stopBits = stopBits;
    return line;
}

// Every frame format the port can be asked for. A pseudo-terminal keeps neither the data
// bits nor parity enabled (its driver forces 8 bits without parity), so these are checked
// on the termios the port writes.
TEST(LineTermios, DataBitsParityAndStopBitsBecomeTheirFlags) {
    struct Case {
        LineSettings line;
        tcflag_t size;
        tcflag_t parity;
        bool cstopb;
    };
    const Case cases[] = {
        {Line(8, pNone, 1), CS8, 0, false},
        {Line(7, pEven, 1), CS7, PARENB, false},
        {Line(7, pOdd, 2), CS7, PARENB | PARODD, true},
        {Line(8, pMark, 1), CS8, PARENB | PARODD | CMSPAR, false},
        {Line(8, pSpace, 1), CS8, PARENB | CMSPAR, false},
        {Line(6, pNone, 2), CS6, 0, true},
        {Line(5, pNone, 1), CS5, 0, true},  // one and a half stop bits
    };
    for (const Case& c : cases) {
        termios t{};
        t.c_cflag = CSTOPB | CRTSCTS | kParityBits | CS5;  // whatever was there before
        t.c_iflag = INPCK | ISTRIP | ICRNL | IXON;
        ASSERT_EQ(MakeLineTermios(c.line, t), 0);
        SCOPED_TRACE(testing::Message() << c.line.dataBits << " bits, parity " << int(c.line.parity)
                                        << ", stop " << c.line.stopBits);
        EXPECT_EQ(t.c_cflag & CSIZE, c.size);
        EXPECT_EQ(t.c_cflag & kParityBits, c.parity);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb);
        EXPECT_EQ(t.c_cflag & (CRTSCTS | CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD});
        // Binary frames: no parity checking, stripping, translation or flow control.
        EXPECT_EQ(t.c_iflag & (INPCK | ISTRIP | ICRNL | IXON | IXOFF), 0u);
    }
    termios t{};
    EXPECT_EQ(MakeLineTermios(Line(9, pNone, 1), t), ecByteSize);
    LineSettings odd;
    odd.baud = 12345;
    EXPECT_EQ(MakeLineTermios(odd, t), ecBaudRate);
}

struct DeviceCase {
    const char* name;
    std::int32_t baud;
    std::uint16_t stopBits;
    THWFlowOptions hwFlow;
    TSWFlowOptions swFlow;
    tcflag_t cflagSet;
    tcflag_t iflagSet;
};

const DeviceCase kDeviceCases[] = {
    {"19200 1 stop", 19200, 1, 0, swfNone, 0, 0},
    {"9600 2 stop", 9600, 2, 0, swfNone, CSTOPB, 0},
    {"RTS/CTS", 19200, 1, hwfUseRTS | hwfRequireCTS, swfNone, CRTSCTS, 0},
    {"XON/XOFF", 115200, 1, 0, swfBoth, 0, IXON | IXOFF},
    {"14400", 14400, 1, 0, swfNone, 0, 0},
    {"256000", 256000, 1, 0, swfNone, 0, 0},
};

void Apply(TZpComPort& port, const DeviceCase& c) {
    port.SetBaud(c.baud);
    port.SetStopBits(c.stopBits);
    port.SetHWFlowOptions(c.hwFlow);
    port.SetSWFlowOptions(c.swFlow);
}

void ExpectOnDevice(const PtyPeer& peer, const DeviceCase& c, const char* how) {
    termios t{};
    ASSERT_EQ(::tcgetattr(peer.SlaveFd(), &t), 0);
    SCOPED_TRACE(std::string(c.name) + ", " + how);
    EXPECT_EQ(t.c_cflag & (CSTOPB | CRTSCTS), c.cflagSet);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.iflagSet);
    EXPECT_EQ(t.c_cflag & kParityBits, 0u);
    EXPECT_EQ(CurrentRate(peer.SlaveFd()), c.baud);
}

TEST_F(SerialTest, LineSettingsReachTheDeviceAtOpenAndWhileOpen) {
    auto peer = Peer(1);
    for (const DeviceCase& c : kDeviceCases) {
        TZpComPort port;
        Configure(port, 1);
        Apply(port, c);
        port.SetOpen(true);
        ExpectOnDevice(*peer, c, "applied at open");
        port.SetOpen(false);

        TZpComPort live;
        Configure(live, 1);
        live.SetOpen(true);
        Apply(live, c);
        ExpectOnDevice(*peer, c, "applied while open");
    }
}

TEST_F(SerialTest, ARefusedLineSettingKeepsTheLastGoodOne) {
    auto peer = Peer(1);
    TZpComPort port;
    Configure(port, 1);
    port.SetOpen(true);
    EXPECT_THROW(port.SetBaud(12345), EBaudRate);
    EXPECT_EQ(port.Baud(), 19200);
    EXPECT_THROW(port.SetDataBits(9), EByteSize);
    EXPECT_EQ(port.DataBits(), 8);
    EXPECT_EQ(CurrentRate(peer->SlaveFd()), 19200);
    // The next open uses the good values.
    port.SetOpen(false);
    port.SetOpen(true);
    EXPECT_TRUE(port.Open());
}

TEST(LineCounters, EveryCounterThatMovedIsOneLineErrorBit) {
    const LineCounters before{3, 1, 0, 2, 0};
    struct Case {
        LineCounters after;
        std::uint16_t errors;
    };
    const Case cases[] = {
        {{3, 1, 0, 2, 0}, 0},
        {{4, 1, 0, 2, 0}, leFrame},
        {{3, 2, 0, 2, 0}, leOverrun},
        {{3, 1, 5, 2, 0}, leParity},
        {{3, 1, 0, 3, 0}, leBreak},
        {{3, 1, 0, 2, 1}, leRxOver},
        {{9, 9, 9, 9, 9}, leFrame | leOverrun | leParity | leBreak | leRxOver},
    };
    for (const Case& c : cases) EXPECT_EQ(LineErrorsBetween(before, c.after), c.errors);
}

}  // namespace
}  // namespace serialtest
