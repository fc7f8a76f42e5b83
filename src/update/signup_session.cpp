#include "update/signup_session.h"

#include "platform/files.h"

namespace update {

using i18n::TextId;

namespace {
constexpr const char* kRegistrationFolder = "Registration";
constexpr std::uint8_t kStore = 1;
constexpr const char* kNotSent = "The registration could not be sent";
}  // namespace

void SignupSession::Start(const std::string& dataDir, const std::string& signupName,
                          const ServerSettings& server) {
    signupName_ = signupName;
    localFile_ = dataDir + signupName;
    // A file that cannot be made shows when the store is refused.
    platform::WriteFileBytes(localFile_, "");
    Open(server);
}

std::string SignupSession::FolderAfterLogin() const { return kRegistrationFolder; }

void SignupSession::InFolder() {
    // Refused when the local file could not be made: staying logged in would leave the
    // page waiting without a word.
    if (!Ftp().StoreFile(signupName_, localFile_, kStore)) EndRefused("store the registration");
}

void SignupSession::TransferDone() {
    parts_.view.ShowSignupInfo(parts_.texts[TextId::RegistrationComplete], LabelColour::Green);
    DeleteLocalFile();
    LogOut();
}

void SignupSession::NotConnected() {
    // The empty file stays; the next update check clears it away.
    parts_.view.ShowSignupInfo(parts_.texts[TextId::CouldNotConnect], LabelColour::Red);
}

void SignupSession::TimedOut() {
    parts_.view.ShowSignupInfo(parts_.texts[TextId::CouldNotConnect], LabelColour::Red);
    DeleteLocalFile();
}

void SignupSession::StepRefused(const std::string&) {
    parts_.view.ShowSignupInfo(kNotSent, LabelColour::Red);
    DeleteLocalFile();
}

void SignupSession::Ended() {
    ShowHeldFailure();
    parts_.view.SignupEnded(parts_.texts[TextId::Finish]);
}

void SignupSession::DeleteLocalFile() { platform::DeleteFile(localFile_); }

}  // namespace update
