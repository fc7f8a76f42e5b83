#include "comm/zp_errors.h"

#include <algorithm>
#include <iterator>

#include "comm/system_errors.h"

namespace zp {

namespace {

struct ErrorText {
    std::int32_t magnitude;
    const char* text;
};

// Sorted by magnitude for the binary search. Only the rows the program can meet: the
// system-style codes of the serial path, the serial component's own codes and the socket
// codes of the FTP transport.
constexpr ErrorText kErrorTable[] = {
    {2, "File not found"},
    {3, "Path not found"},
    {5, "File access denied"},
    {6, "Invalid file handle"},
    {8, "Insufficient memory"},
    {160, "Device write error"},
    {161, "Device read error"},
    {162, "General failure"},
    {1002, "Bad argument passed to function"},
    {2001, "ie_BadId - Specified comport doesn't exist"},
    {2002, "ie_Baudrate - unsupported baud rate"},
    {2003, "ie_Bytesize - invalid byte size"},
    {2004, "ie_Default - error in default parameters"},
    {2005, "ie_Hardware - Specified comport in use"},
    {2006, "ie_Memory - unable to allocate queues"},
    {2007, "ie_NOpen - device not open"},
    {2008, "ie_Open - device already open"},
    {2009, "No more handles, can't open port"},
    {2010, "No timers available"},
    {2011, "The ComNumber property of the TZpComPort has not been set"},
    {2012, "Comport was not opened by Tapi"},
    {3001, "No device layer specified"},
    {3002, "Function not supported by driver"},
    {3003, "EnableCommNotification failed"},
    {3004, "Failed to put entire block"},
    {3005, "Failed to get entire block"},
    {3006, "Output buffer too small for block"},
    {3007, "Buffer is empty"},
    {3008, "Tracing not enabled"},
    {3009, "Logging not enabled"},
    {3010, "Base address not set"},
    {5001, "No more trigger slots"},
    {5002, "Data trigger too long"},
    {5003, "Bad trigger handle"},
    {9002, "Error loading Winsock DLL"},
    {9003, "Incorrect version of Winsock"},
    {9004, "Winsock not initialized - %s"},
    {9005, "Specified port is not valid"},
    {9007, "Cannot resolve destination address"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "The descriptor is not a socket"},
    {10039, "The destination address is required for this operation"},
    {10040, "Message too long"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "The network has been reset"},
    {10053, "The virtual circuit has been aborted due to timeout, etc"},
    {10054, "The virtual circuit has been reset by the partner"},
    {10055, "No buffer space is available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10060, "The operation timed out"},
    {10061, "The attempt to connect was forcibly refused"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11004, "Valid name, no data record of requested type"},
    {13868, "Insufficient memory to allocate I/O buffer."},
};

constexpr std::size_t kMaxMessageLength = 255;

template <class E>
[[noreturn]] void Raise() {
    throw E();
}

}  // namespace

std::string ErrorMessage(std::int32_t code) {
    const std::int32_t magnitude = code < 0 ? -code : code;
    const auto* end = std::end(kErrorTable);
    const auto* hit =
        std::lower_bound(std::begin(kErrorTable), end, magnitude,
                         [](const ErrorText& e, std::int32_t m) { return e.magnitude < m; });
    std::string text =
        (hit != end && hit->magnitude == magnitude) ? hit->text : SystemErrorText(magnitude);
    if (text.size() > kMaxMessageLength) text.resize(kMaxMessageLength);
    return text;
}

std::int32_t CheckException(std::int32_t result) {
    if (result >= 0) return result;
    switch (result) {
        case ecBadArgument:
            Raise<EBadArgument>();
        case ecBadId:
            Raise<EBadId>();
        case ecBaudRate:
            Raise<EBaudRate>();
        case ecByteSize:
            Raise<EByteSize>();
        case ecDefault:
            Raise<EDefault>();
        case ecHardware:
            Raise<EHardware>();
        case ecMemory:
            Raise<EMemory>();
        case ecCommNotOpen:
            Raise<ECommNotOpen>();
        case ecAlreadyOpen:
            Raise<EAlreadyOpen>();
        case ecNoHandles:
            Raise<ENoHandles>();
        case ecNoTimers:
            Raise<ENoTimers>();
        case ecNoPortSelected:
            Raise<ENoPortSelected>();
        case ecNotOpenedByTapi:
            Raise<ENotOpenedByTapi>();
        case ecNullApi:
            Raise<ENullApi>();
        case ecRegisterHandlerFailed:
            Raise<ERegisterHandlerFailed>();
        case ecPutBlockFail:
            Raise<EPutBlockFail>();
        case ecGetBlockFail:
            Raise<EGetBlockFail>();
        case ecOutputBufferTooSmall:
            Raise<EOutputBufferTooSmall>();
        case ecBufferIsEmpty:
            Raise<EBufferIsEmpty>();
        case ecTracingNotEnabled:
            Raise<ETracingNotEnabled>();
        case ecLoggingNotEnabled:
            Raise<ELoggingNotEnabled>();
        case ecBaseAddressNotSet:
            Raise<EBaseAddressNotSet>();
        case ecNoMoreTriggers:
            Raise<ENoMoreTriggers>();
        case ecTriggerTooLong:
            Raise<ETriggerTooLong>();
        case ecBadTriggerHandle:
            Raise<EBadTriggerHandle>();
        case ecOutOfMemory:
            throw EOutOfMemory(ErrorMessage(result));
        default:
            break;
    }
    if (result <= -2 && result >= -162) throw EInOutError(ErrorMessage(result), -result);
    throw EZpException("Zepo exception", 0);
}

}  // namespace zp
