#pragma once
// Result codes of the communication components and the exceptions they turn into. Every
// dispatcher operation returns 0 or more for success and a negative code from this table
// for failure; CheckException applies the one rule that maps a code to an exception.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zp {

// Codes the serial and socket paths produce or test.
enum ErrorCode : std::int32_t {
    ecOK = 0,
    ecFileNotFound = -2,
    ecPathNotFound = -3,
    ecAccessDenied = -5,
    // errno EACCES as it passes through: the device exists and its permissions keep this
    // user out. Not "held by another program", which is -5.
    ecPermissionDenied = -13,
    ecInvalidHandle = -6,
    ecOutOfMemory = -8,
    ecDeviceWrite = -160,
    ecDeviceRead = -161,
    ecGeneralFailure = -162,
    ecBadArgument = -1002,
    ecBadId = -2001,
    ecBaudRate = -2002,
    ecByteSize = -2003,
    ecDefault = -2004,
    ecHardware = -2005,
    ecMemory = -2006,
    ecCommNotOpen = -2007,
    ecAlreadyOpen = -2008,
    ecNoHandles = -2009,
    ecNoTimers = -2010,
    ecNoPortSelected = -2011,
    ecNotOpenedByTapi = -2012,
    ecNullApi = -3001,
    ecNotSupported = -3002,
    ecRegisterHandlerFailed = -3003,
    ecPutBlockFail = -3004,
    ecGetBlockFail = -3005,
    ecOutputBufferTooSmall = -3006,
    ecBufferIsEmpty = -3007,
    ecTracingNotEnabled = -3008,
    ecLoggingNotEnabled = -3009,
    ecBaseAddressNotSet = -3010,
    ecNoMoreTriggers = -5001,
    ecTriggerTooLong = -5002,
    ecBadTriggerHandle = -5003,
    ecInsufficientMemory = -13868,
};

// The table text for a code (sign ignored); for a code the table lacks, the system's own
// text for that number with control characters and doubled blanks tidied away.
std::string ErrorMessage(std::int32_t code);

// Base of every exception of the components; carries the error code.
class EZpException : public std::runtime_error {
  public:
    EZpException(const std::string& message, std::int32_t code)
        : std::runtime_error(message), code_(code) {}
    std::int32_t ErrorCode() const { return code_; }

  private:
    std::int32_t code_;
};

// What the error rule raises for the operating-system style codes: an input/output error
// carrying the code's magnitude (the number the system reported), and out of memory.
// They stand apart from EZpException because callers catch them as device failures, not
// as misuse of the component.
class EInOutError : public std::runtime_error {
  public:
    EInOutError(const std::string& message, int errorCode)
        : std::runtime_error(message), errorCode_(errorCode) {}
    int ErrorCode() const { return errorCode_; }

  private:
    int errorCode_;
};
class EOutOfMemory : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

#define ZP_EXCEPTION_GROUP(Name)          \
    class Name : public EZpException {    \
      public:                             \
        using EZpException::EZpException; \
    };
ZP_EXCEPTION_GROUP(EGeneral)
ZP_EXCEPTION_GROUP(EOpenComm)
ZP_EXCEPTION_GROUP(ESerialIO)
ZP_EXCEPTION_GROUP(ETrigger)
#undef ZP_EXCEPTION_GROUP

#define ZP_EXCEPTION(Name, Parent, Code)             \
    class Name : public Parent {                     \
      public:                                        \
        static constexpr std::int32_t kCode = Code;  \
        Name() : Parent(ErrorMessage(Code), Code) {} \
    };
ZP_EXCEPTION(EBadArgument, EGeneral, ecBadArgument)
ZP_EXCEPTION(EBadId, EOpenComm, ecBadId)
ZP_EXCEPTION(EBaudRate, EOpenComm, ecBaudRate)
ZP_EXCEPTION(EByteSize, EOpenComm, ecByteSize)
ZP_EXCEPTION(EDefault, EOpenComm, ecDefault)
ZP_EXCEPTION(EHardware, EOpenComm, ecHardware)
ZP_EXCEPTION(EMemory, EOpenComm, ecMemory)
ZP_EXCEPTION(ECommNotOpen, EOpenComm, ecCommNotOpen)
ZP_EXCEPTION(EAlreadyOpen, EOpenComm, ecAlreadyOpen)
ZP_EXCEPTION(ENoHandles, EOpenComm, ecNoHandles)
ZP_EXCEPTION(ENoTimers, EOpenComm, ecNoTimers)
ZP_EXCEPTION(ENoPortSelected, EOpenComm, ecNoPortSelected)
ZP_EXCEPTION(ENotOpenedByTapi, EOpenComm, ecNotOpenedByTapi)
ZP_EXCEPTION(ENullApi, ESerialIO, ecNullApi)
ZP_EXCEPTION(ERegisterHandlerFailed, ESerialIO, ecRegisterHandlerFailed)
ZP_EXCEPTION(EPutBlockFail, ESerialIO, ecPutBlockFail)
ZP_EXCEPTION(EGetBlockFail, ESerialIO, ecGetBlockFail)
ZP_EXCEPTION(EOutputBufferTooSmall, ESerialIO, ecOutputBufferTooSmall)
ZP_EXCEPTION(EBufferIsEmpty, ESerialIO, ecBufferIsEmpty)
ZP_EXCEPTION(ETracingNotEnabled, ESerialIO, ecTracingNotEnabled)
ZP_EXCEPTION(ELoggingNotEnabled, ESerialIO, ecLoggingNotEnabled)
ZP_EXCEPTION(EBaseAddressNotSet, ESerialIO, ecBaseAddressNotSet)
ZP_EXCEPTION(ENoMoreTriggers, ETrigger, ecNoMoreTriggers)
ZP_EXCEPTION(ETriggerTooLong, ETrigger, ecTriggerTooLong)
ZP_EXCEPTION(EBadTriggerHandle, ETrigger, ecBadTriggerHandle)
#undef ZP_EXCEPTION

// The error rule: a result of 0 or more is returned unchanged; a negative one is raised
// as its own class, as EInOutError (-2 to -162; -8 as EOutOfMemory), or as a plain
// EZpException "Zepo exception" with code 0.
std::int32_t CheckException(std::int32_t result);

}  // namespace zp
