#include "update/signup_session.h"

#include <exception>

#include "platform/files.h"

namespace update {

using i18n::TextId;

namespace {
constexpr const char* kRegistrationFolder = "Registration";
constexpr std::uint8_t kStore = 1;
constexpr const char* kNotSent = "The registration could not be sent";
}  // namespace

void SignupSession::Start(const std::string& dataDir, const std::string& signupName) {
    signupName_ = signupName;
    localFile_ = dataDir + signupName;
    // A file that cannot be made shows when the store is refused.
    platform::WriteFileBytes(localFile_, "");
    ChangeState(State::Connecting);
    try {
        parts_.ftp.Login();
    } catch (const std::exception&) {
        // A host that cannot be resolved: the connect timer, already armed, reports it.
    }
}

void SignupSession::ChangeState(State to) { state_ = to; }

void SignupSession::Handle(Event event) {
    switch (state_) {
        case State::Connecting:
            WhileConnecting(event);
            break;
        case State::ChangingFolder:
            WhileChangingFolder(event);
            break;
        case State::Storing:
            WhileStoring(event);
            break;
        case State::Idle:
        case State::LoggingOut:
            break;
    }
}

void SignupSession::WhileConnecting(Event event) {
    if (event != Event::LoggedIn) return;
    ChangeState(State::ChangingFolder);
    if (!parts_.ftp.ChangeDirectory(kRegistrationFolder)) Refused(kNotSent);
}

void SignupSession::WhileChangingFolder(Event event) {
    if (event != Event::FolderChanged) return;
    ChangeState(State::Storing);
    // Refused when the local file could not be made: staying logged in would leave the
    // page waiting without a word.
    if (!parts_.ftp.StoreFile(signupName_, localFile_, kStore)) Refused(kNotSent);
}

void SignupSession::WhileStoring(Event event) {
    if (event != Event::TransferDone) return;
    parts_.view.ShowSignupInfo(parts_.texts[TextId::RegistrationComplete], LabelColour::Green);
    DeleteLocalFile();
    LogOut();
}

void SignupSession::LogOut() {
    if (state_ != State::Idle) ChangeState(State::LoggingOut);
    parts_.ftp.Logout();
}

void SignupSession::Refused(const std::string& text) {
    LogOut();
    parts_.view.ShowSignupInfo(text, LabelColour::Red);
    DeleteLocalFile();
}

void SignupSession::DeleteLocalFile() { platform::DeleteFile(localFile_); }

// ---------------------------------------------------------------- events

void SignupSession::LoggedIn() { Handle(Event::LoggedIn); }

void SignupSession::FolderChanged() { Handle(Event::FolderChanged); }

void SignupSession::ListingReceived(const std::string&) {}

void SignupSession::BlockMoved(std::uint64_t) {}

void SignupSession::TransferDone() { Handle(Event::TransferDone); }

void SignupSession::TimedOut() {
    if (state_ == State::Idle) return;
    Refused(parts_.texts[TextId::CouldNotConnect]);
}

void SignupSession::LoggedOut() {
    if (state_ == State::Idle) return;
    ChangeState(State::Idle);
    parts_.view.SignupEnded(parts_.texts[TextId::Finish]);
}

void SignupSession::Closed() { ChangeState(State::Idle); }

void SignupSession::Failed(std::int32_t code, const std::string& text) {
    LogOut();
    if (code == zp::TZpCustomFtpClient::kConnectTimedOut) {
        // The empty file stays; the next update check clears it away.
        parts_.view.ShowSignupInfo(parts_.texts[TextId::CouldNotConnect], LabelColour::Red);
    } else {
        parts_.sink.Show(FtpErrorMessage(code, text));
    }
}

}  // namespace update
