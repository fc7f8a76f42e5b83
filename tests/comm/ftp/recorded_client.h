#pragma once
// An FTP client aimed at a server on 127.0.0.1, with a record of the events it raised:
// "scOpen", "scLogin", "error 530", ... (progress only counted), each with its text and
// the process state at the time its handler ran.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"

namespace zp {
// For test messages.
inline void PrintTo(TFtpFailureKind kind, std::ostream* os) { *os << FtpFailureName(kind); }
}  // namespace zp

namespace ftptest {

class RecordedClient {
  public:
    explicit RecordedClient(std::uint16_t port, std::int32_t transferTimeoutTicks = 100);

    zp::TZpFtpClient& Ftp() { return *ftp_; }
    // Destroys the client; the record stays.
    void Destroy() { ftp_.reset(); }

    // Processes events until `event` has been recorded (or `timeoutMs` has passed).
    bool WaitFor(const std::string& event, int timeoutMs = 10000);
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 10000);
    bool Saw(const std::string& event) const;
    // The text of the first such event.
    std::string TextOf(const std::string& event) const;
    zp::TFtpProcessState StateAt(const std::string& event) const;

    std::vector<std::string> events;
    std::vector<std::string> texts;
    std::vector<zp::TFtpProcessState> states;
    // LastFailure() in the handler of each error and scTimeout.
    std::vector<zp::TFtpFailureKind> failures;
    // Codes of the replies the client handled (OnFtpReply).
    std::vector<std::int32_t> replies;
    int progress = 0;
    bool handlersOnGuiThread = true;
    // Reactions run after an event was recorded, to chain the next operation.
    std::function<void(zp::TFtpStatusCode)> onStatus;
    std::function<void(std::int32_t)> onError;

  private:
    std::unique_ptr<zp::TZpFtpClient> ftp_;
};

}  // namespace ftptest
