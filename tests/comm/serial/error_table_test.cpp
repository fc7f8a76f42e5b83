#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <typeinfo>

#include "comm/serial/com_device_path.h"
#include "comm/system_errors.h"
#include "comm/zp_errors.h"

namespace {

using namespace zp;

// Raises `code` through the error rule and expects class E with this text and recorded code.
template <class E>
void ExpectRaised(std::int32_t code, const std::string& text, std::int32_t recordedCode) {
    try {
        CheckException(code);
        ADD_FAILURE() << code << " raised nothing";
    } catch (const E& e) {
        EXPECT_EQ(std::string(e.what()), text) << code;
        EXPECT_EQ(e.ErrorCode(), recordedCode) << code;
    } catch (const std::exception& e) {
        ADD_FAILURE() << code << " raised the wrong class: " << typeid(e).name();
    }
}

TEST(ErrorRule, OwnCodesRaiseTheirClassUnderTheRightGroup) {
    ExpectRaised<EBadId>(-2001, "ie_BadId - Specified comport doesn't exist", -2001);
    ExpectRaised<EAlreadyOpen>(-2008, "ie_Open - device already open", -2008);
    ExpectRaised<ECommNotOpen>(-2007, "ie_NOpen - device not open", -2007);
    ExpectRaised<ENoPortSelected>(
        -2011, "The ComNumber property of the TZpComPort has not been set", -2011);
    ExpectRaised<EOutputBufferTooSmall>(-3006, "Output buffer too small for block", -3006);
    ExpectRaised<EBufferIsEmpty>(-3007, "Buffer is empty", -3007);
    ExpectRaised<ENullApi>(-3001, "No device layer specified", -3001);
    ExpectRaised<EBadTriggerHandle>(-5003, "Bad trigger handle", -5003);
    ExpectRaised<ENoMoreTriggers>(-5001, "No more trigger slots", -5001);
    ExpectRaised<EBadArgument>(-1002, "Bad argument passed to function", -1002);
    // The group classes catch their members, and EZpException catches them all.
    ExpectRaised<EOpenComm>(-2001, "ie_BadId - Specified comport doesn't exist", -2001);
    ExpectRaised<EOpenComm>(-2011, "The ComNumber property of the TZpComPort has not been set",
                            -2011);
    ExpectRaised<ESerialIO>(-3007, "Buffer is empty", -3007);
    ExpectRaised<ETrigger>(-5003, "Bad trigger handle", -5003);
    ExpectRaised<EGeneral>(-1002, "Bad argument passed to function", -1002);
    ExpectRaised<EZpException>(-2008, "ie_Open - device already open", -2008);
}

TEST(ErrorRule, SystemStyleCodesRaiseTheInputOutputError) {
    ExpectRaised<EInOutError>(-2, "File not found", 2);
    ExpectRaised<EInOutError>(-5, "File access denied", 5);
    ExpectRaised<EInOutError>(-161, "Device read error", 161);
    ExpectRaised<EInOutError>(-162, "General failure", 162);
    // Not in the table: the system's own text for the number.
    ExpectRaised<EInOutError>(-EACCES, std::strerror(EACCES), EACCES);
    try {
        CheckException(-8);
        ADD_FAILURE() << "-8 raised nothing";
    } catch (const EOutOfMemory& e) {
        EXPECT_STREQ(e.what(), "Insufficient memory");
    }
}

TEST(ErrorRule, OtherNegativeCodesRaiseThePlainException) {
    for (std::int32_t code : {-3002, -163, -4000, -1}) {
        try {
            CheckException(code);
            ADD_FAILURE() << code << " raised nothing";
        } catch (const EZpException& e) {
            EXPECT_EQ(typeid(e), typeid(EZpException)) << code;
            EXPECT_STREQ(e.what(), "Zepo exception");
            EXPECT_EQ(e.ErrorCode(), 0);
        }
    }
    EXPECT_EQ(CheckException(0), 0);
    EXPECT_EQ(CheckException(1234), 1234);
}

TEST(ErrorMessages, TableTextsForSocketCodesAndSystemTextOtherwise) {
    EXPECT_EQ(ErrorMessage(-3002), "Function not supported by driver");
    EXPECT_EQ(ErrorMessage(10061), "The attempt to connect was forcibly refused");
    EXPECT_EQ(ErrorMessage(10054), "The virtual circuit has been reset by the partner");
    EXPECT_EQ(ErrorMessage(10060), "The operation timed out");
    EXPECT_EQ(ErrorMessage(9004), "Winsock not initialized - %s");
    EXPECT_EQ(ErrorMessage(-9007), "Cannot resolve destination address");
    const std::string unknown = ErrorMessage(987654);
    EXPECT_FALSE(unknown.empty());
    EXPECT_EQ(unknown.find("  "), std::string::npos);
    EXPECT_LE(unknown.size(), 255u);
}

TEST(ErrorMessages, SystemErrorsTranslateToTheComponentsCodes) {
    EXPECT_EQ(SystemErrorCode(ENOENT), -2);
    EXPECT_EQ(SystemErrorCode(ENXIO), -2);
    EXPECT_EQ(SystemErrorCode(ENOTDIR), -3);
    EXPECT_EQ(SystemErrorCode(EBUSY), -5);
    EXPECT_EQ(SystemErrorCode(EWOULDBLOCK), -5);
    EXPECT_EQ(SystemErrorCode(ENOMEM), -8);
    // EIO is errno 5: it must not turn into "held by another program".
    EXPECT_EQ(SystemErrorCode(EIO), -162);
    EXPECT_EQ(SystemErrorCode(EACCES), -EACCES);
}

TEST(ComDevicePath, FolderWhenSetElseTheSystemSerialDevices) {
    ::setenv("ARVEX_COM_PORTS", "/tmp/ports", 1);
    EXPECT_EQ(ComDevicePath(7), "/tmp/ports/COM7");
    EXPECT_EQ(ComDevicePath(120), "/tmp/ports/COM120");
    EXPECT_EQ(ComDevicePath(0), "");
    ::unsetenv("ARVEX_COM_PORTS");
    EXPECT_EQ(ComDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(ComDevicePath(32), "/dev/ttyS31");
    EXPECT_EQ(ComDevicePath(33), "/dev/ttyUSB0");
    EXPECT_EQ(ComDevicePath(65), "/dev/ttyACM0");
    EXPECT_EQ(ComDevicePath(96), "/dev/ttyACM31");
    EXPECT_EQ(ComDevicePath(97), "");
}

}  // namespace
