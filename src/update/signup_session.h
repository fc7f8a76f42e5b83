#pragma once
// The newsletter sign-up's upload: an empty file named after the registration is made in
// DataDir, stored into the server folder "Registration" and deleted here once it arrived.
// Like the update check it is a chain of reactions to the FTP client's events, and it
// sees the window only through SignupView.
#include <cstdint>
#include <optional>
#include <string>

#include "comm/ftp/zp_ftp_client.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "update/ftp_session_events.h"
#include "update/label_colour.h"

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

class SignupSession : public FtpSessionEvents {
  public:
    enum class State { Idle, Connecting, ChangingFolder, Storing, LoggingOut };

    explicit SignupSession(SignupParts parts) : parts_(parts) {}

    // Makes the empty file `dataDir` + `signupName` (a name ValidateSignup accepted) and
    // logs in; an error raised while starting is left to the connect timer to report.
    void Start(const std::string& dataDir, const std::string& signupName);

    State CurrentState() const { return state_; }

    void LoggedIn() override;
    void FolderChanged() override;
    void ListingReceived(const std::string& listing) override;
    void BlockMoved(std::uint64_t transferredBytes) override;
    void TransferDone() override;
    void TimedOut() override;
    void LoggedOut() override;
    void Closed() override;
    void Failed(std::int32_t code, const std::string& text) override;

  private:
    enum class Event { LoggedIn, FolderChanged, TransferDone };

    void ChangeState(State to);
    void Handle(Event event);
    void WhileConnecting(Event event);
    void WhileChangingFolder(Event event);
    void WhileStoring(Event event);

    void LogOut();
    void Refused(const std::string& text);
    void DeleteLocalFile();

    SignupParts parts_;
    State state_ = State::Idle;
    std::string signupName_;
    std::string localFile_;
};

}  // namespace update
