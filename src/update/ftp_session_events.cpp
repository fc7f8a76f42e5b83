#include "update/ftp_session_events.h"

#include "platform/strings.h"

namespace update {

// The server's reply ends in its line end; the box shows the text without it.
std::string FtpErrorMessage(std::int32_t code, const std::string& text) {
    return "ErrorCode: " + std::to_string(code) + " ErrorText: " + platform::TrimControls(text);
}

std::string FtpStatusMessage(int code, const std::string& info) {
    return "StatusCode: " + std::to_string(code) + " InfoText:" + platform::TrimControls(info);
}

}  // namespace update
