#pragma once
// What a failed FTP operation amounts to for a caller that may try again: a failure of the
// link or of the moment, worth another attempt, or one that the server or this machine
// would only repeat.
#include <cstdint>
#include <string_view>

namespace zp {

enum class TFtpFailureKind : std::uint8_t {
    None,  // no failure
    // Worth another attempt: a connection cut, reset or aborted (socket codes 10000 and
    // up, but for the two below), a connection or transfer that timed out (-1, scTimeout),
    // a 4xx reply (421 closing, 425 no data connection, 426 transfer aborted, 450 busy,
    // 451 the server's own trouble, ...), a retrieve that came short (-3), an address
    // that did not resolve (9007).
    Transient,
    // The server would answer the same again: a 5xx reply (530 not logged in, 550 no such
    // file, ...), 202, a reply out of place (-2), a passive address that is no address
    // (10049), a listing beyond the client's bound (10040), a port or address that is not
    // valid (9005, 10039), and any code not named here.
    Refusal,
    // This machine: the local file could not be written, read or put in place.
    Local,
    // The caller's own AbortTransfer ended the operation, whatever the server answered.
    Cancelled,
};

// The kind of an OnFtpError code on its own. The client knows more (an abort by the
// caller, its own 451): ask it (TZpCustomFtpClient::LastFailure) while handling the event.
TFtpFailureKind ClassifyFtpError(std::int32_t code);

std::string_view FtpFailureName(TFtpFailureKind kind);

}  // namespace zp
