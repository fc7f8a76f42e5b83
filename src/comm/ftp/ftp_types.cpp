#include "comm/ftp/ftp_types.h"

#include <array>

namespace zp {

std::string_view FtpStateName(TFtpProcessState state) {
    static constexpr std::array<std::string_view, 8> kNames = {
        "fsClosed",    "fsLoggingIn", "fsIdle", "fsListing",
        "fsReceiving", "fsStoring",   "fs?",    "fsCommand"};
    return state < kNames.size() ? kNames[state] : "fs?";
}

std::string_view FtpStatusName(TFtpStatusCode code) {
    static constexpr std::array<std::string_view, 10> kNames = {
        "scClose",      "scOpen",      "scLogout",   "scLogin",      "scComplete",
        "scCurrentDir", "scDataAvail", "scProgress", "scTransferOK", "scTimeout"};
    return code < kNames.size() ? kNames[code] : "sc?";
}

}  // namespace zp
