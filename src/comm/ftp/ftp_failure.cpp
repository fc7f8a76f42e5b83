#include "comm/ftp/ftp_failure.h"

#include <array>

#include "comm/ftp/winsock_errors.h"
#include "comm/ftp/zp_ftp_client.h"

namespace zp {

TFtpFailureKind ClassifyFtpError(std::int32_t code) {
    switch (code) {
        case TZpCustomFtpClient::kConnectTimedOut:
        case TZpCustomFtpClient::kSizeMismatch:
        case wsCannotResolve:
            return TFtpFailureKind::Transient;
        case wsMessageTooLong:
        case wsAddressNotAvailable:
        case wsAddressRequired:
            return TFtpFailureKind::Refusal;
        default:
            break;
    }
    if (code >= 400 && code < 500) return TFtpFailureKind::Transient;
    if (code >= 10000) return TFtpFailureKind::Transient;
    return TFtpFailureKind::Refusal;
}

std::string_view FtpFailureName(TFtpFailureKind kind) {
    static constexpr std::array<std::string_view, 5> kNames = {"None", "Transient", "Refusal",
                                                               "Local", "Cancelled"};
    const auto i = static_cast<std::size_t>(kind);
    return i < kNames.size() ? kNames[i] : "?";
}

}  // namespace zp
