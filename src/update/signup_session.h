#pragma once
// The newsletter sign-up's upload: an empty file named after the registration is made in
// DataDir, stored into the server folder "Registration" and deleted here once it arrived.
// Like the update check it is a session on the FTP client (FtpSession), and it sees the
// window only through SignupView.
#include <cstdint>
#include <optional>
#include <string>

#include "comm/ftp/zp_ftp_client.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "update/ftp_session.h"
#include "update/label_colour.h"
#include "update/server_settings.h"

namespace update {

class SignupView {
  public:
    virtual ~SignupView() = default;
    // The page's message label; without a colour it keeps the one it has.
    virtual void ShowSignupInfo(const std::string& text, std::optional<LabelColour> colour) = 0;
    // The logged-in session has ended: the fields are emptied and the page's button,
    // which has the focus, reads "Finish".
    virtual void SignupEnded(const std::string& finishCaption) = 0;
};

struct SignupParts {
    zp::TZpCustomFtpClient& ftp;
    const i18n::TextTable& texts;
    platform::MessageSink& sink;
    SignupView& view;
};

class SignupSession : public FtpSession {
  public:
    explicit SignupSession(SignupParts parts) : FtpSession(parts.ftp, parts.sink), parts_(parts) {}

    // Makes the empty file `dataDir` + `signupName` (a name ValidateSignup accepted) and
    // logs in to `server`.
    void Start(const std::string& dataDir, const std::string& signupName,
               const ServerSettings& server);

  private:
    std::string FolderAfterLogin() const override;
    void InFolder() override;
    void TransferDone() override;
    void NotConnected() override;
    void TimedOut() override;
    void StepRefused(const std::string& what) override;
    void Ended() override;

    void DeleteLocalFile();

    SignupParts parts_;
    std::string signupName_;
    std::string localFile_;
};

}  // namespace update
