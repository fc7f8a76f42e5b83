#pragma once
// The vocabulary of the FTP client: its process states (with their names, for traces and
// test messages), the status codes of OnFtpStatus, the log codes and the file type.
#include <cstdint>
#include <string_view>

namespace zp {

// The values are the state byte the component has always kept; 6 and 8 belong to
// operations this client does not offer.
enum TFtpProcessState : std::uint8_t {
    fsClosed = 0,
    fsLoggingIn = 1,
    fsIdle = 2,
    fsListing = 3,
    fsReceiving = 4,
    fsStoring = 5,
    fsCommand = 7,
};

// "fsClosed", "fsIdle", ...; "fs?" for a value that is no state.
std::string_view FtpStateName(TFtpProcessState state);

enum TFtpStatusCode : std::uint8_t {
    scClose = 0,
    scOpen = 1,
    scLogout = 2,
    scLogin = 3,
    scComplete = 4,
    scCurrentDir = 5,
    scDataAvail = 6,
    scProgress = 7,
    scTransferOK = 8,
    scTimeout = 9,
};

std::string_view FtpStatusName(TFtpStatusCode code);

enum TFtpLogCode : std::uint8_t {
    lcClose = 0,
    lcOpen,
    lcLogout,
    lcLogin,
    lcDelete,
    lcRename,
    lcReceive,
    lcStore,
    lcComplete,
    lcRestart,
    lcTimeout,
    lcUserAbort,
};

enum TFtpFileType : std::uint8_t { ftAscii, ftBinary };

}  // namespace zp
