#pragma once
// Socket failures in the Windows socket numbering that the FTP client's callers know
// (10061 refused, 10054 reset, ...), whose texts are rows of the error code table.
#include <cstdint>

#include "comm/zp_errors.h"

namespace zp {

enum WinsockCode : std::int32_t {
    wsInvalidPort = 9005,
    wsCannotResolve = 9007,
    wsAddressRequired = 10039,
    wsMessageTooLong = 10040,
    wsAddressNotAvailable = 10049,
    wsNetworkReset = 10052,
    wsConnectionAborted = 10053,
    wsConnectionReset = 10054,
    wsTimedOut = 10060,
    wsConnectionRefused = 10061,
};

// The Windows socket number for the system error number (errno here) of a failed socket
// call. Numbers with no counterpart count as an aborted connection, which is what they
// amount to for the caller.
std::int32_t WinsockErrorCode(int systemError);

// A socket failure raised to the caller: the code and the table's text for it.
class EWinsockError : public EZpException {
  public:
    explicit EWinsockError(std::int32_t code) : EZpException(ErrorMessage(code), code) {}
};

}  // namespace zp
