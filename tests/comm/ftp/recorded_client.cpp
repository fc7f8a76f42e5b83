#include "recorded_client.h"

#include <algorithm>

#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace ftptest {

RecordedClient::RecordedClient(std::uint16_t port, std::int32_t transferTimeoutTicks)
    : ftp_(std::make_unique<zp::TZpFtpClient>()) {
    zp::TZpFtpClient& f = *ftp_;
    f.SetServerAddress("127.0.0.1");
    f.SetWsPort(std::to_string(port));
    f.SetUserName("arvex");
    f.SetPassword("pRwnKoeZ");
    f.SetPassiveMode(true);
    f.SetConnectTimeout(100);
    f.SetTransferTimeout(transferTimeoutTicks);
    f.SetOnFtpStatus(
        [this](zp::TZpCustomFtpClient& c, zp::TFtpStatusCode code, const std::string& info) {
            handlersOnGuiThread = handlersOnGuiThread && platform::IsGuiThread();
            if (code == zp::scTimeout) failures.push_back(c.LastFailure());
            if (code == zp::scProgress) {
                ++progress;
            } else {
                events.emplace_back(zp::FtpStatusName(code));
                texts.push_back(info);
                states.push_back(c.ProcessState());
            }
            if (onStatus) onStatus(code);
        });
    f.SetOnFtpError([this](zp::TZpCustomFtpClient& c, std::int32_t code, const std::string& text) {
        handlersOnGuiThread = handlersOnGuiThread && platform::IsGuiThread();
        failures.push_back(c.LastFailure());
        events.push_back("error " + std::to_string(code));
        texts.push_back(text);
        states.push_back(c.ProcessState());
        if (onError) onError(code);
    });
    f.SetOnFtpReply([this](zp::TZpCustomFtpClient&, std::int32_t code, const std::string&) {
        replies.push_back(code);
    });
}

bool RecordedClient::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    return platform::ProcessMessagesUntil(done, timeoutMs);
}

bool RecordedClient::WaitFor(const std::string& event, int timeoutMs) {
    return WaitUntil([this, &event] { return Saw(event); }, timeoutMs);
}

bool RecordedClient::Saw(const std::string& event) const {
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::string RecordedClient::TextOf(const std::string& event) const {
    const auto it = std::find(events.begin(), events.end(), event);
    return it == events.end() ? std::string() : texts[it - events.begin()];
}

zp::TFtpProcessState RecordedClient::StateAt(const std::string& event) const {
    const auto it = std::find(events.begin(), events.end(), event);
    return it == events.end() ? zp::fsClosed : states[it - events.begin()];
}

}  // namespace ftptest
