#include "update/ftp_session.h"

#include <exception>
#include <utility>

#include "platform/strings.h"

namespace update {

namespace {
constexpr std::int32_t kConnectTimeoutTicks = 100;    // 5.5 s
constexpr std::int32_t kTransferTimeoutTicks = 1092;  // about a minute of silence
}  // namespace

// The server's reply ends in its line end; the box shows the text without it.
std::string FtpErrorMessage(std::int32_t code, const std::string& text) {
    return "ErrorCode: " + std::to_string(code) + " ErrorText: " + platform::TrimControls(text);
}

std::string FtpStatusMessage(int code, const std::string& info) {
    return "StatusCode: " + std::to_string(code) + " InfoText:" + platform::TrimControls(info);
}

FtpSession::FtpSession(zp::TZpCustomFtpClient& ftp, platform::MessageSink& sink)
    : ftp_(ftp), sink_(sink) {
    ftp_.SetPassiveMode(true);
    ftp_.SetFileType(zp::ftBinary);
    ftp_.SetConnectTimeout(kConnectTimeoutTicks);
    ftp_.SetTransferTimeout(kTransferTimeoutTicks);
}

FtpSession::~FtpSession() { *alive_ = false; }

// ---------------------------------------------------------------- operations

void FtpSession::Open(const ServerSettings& server) {
    // Two sessions may share one client; the one that connects hears its events.
    const std::shared_ptr<bool> alive = alive_;
    ftp_.SetOnFtpStatus(
        [this, alive](zp::TZpCustomFtpClient&, zp::TFtpStatusCode code, const std::string& info) {
            if (*alive) OnStatus(code, info);
        });
    ftp_.SetOnFtpError(
        [this, alive](zp::TZpCustomFtpClient&, std::int32_t code, const std::string& text) {
            if (*alive) OnError(code, text);
        });
    ftp_.SetServerAddress(server.host);
    ftp_.SetWsPort(server.port);
    ftp_.SetUserName(server.user);
    ftp_.SetPassword(server.password);
    failureShown_ = false;
    heldFailure_.clear();
    ChangePhase(Phase::Connecting);
    try {
        ftp_.Login();
    } catch (const std::exception&) {
        // A host that cannot be resolved: the connect timer, already armed, reports it.
    }
}

void FtpSession::ChangeFolder(const std::string& folder) {
    ChangePhase(Phase::ChangingFolder);
    if (!ftp_.ChangeDirectory(folder)) EndRefused("change to the server folder \"" + folder + "\"");
}

void FtpSession::LogOut() {
    if (phase_ != Phase::Idle) ChangePhase(Phase::LoggingOut);
    // The close's own event ends the session once Logout has returned.
    ftp_.Logout();
}

void FtpSession::EndRefused(const std::string& what) {
    LogOut();
    StepRefused(what);
}

void FtpSession::ShowHeldFailure() {
    if (!heldFailure_.empty()) sink_.Show(std::exchange(heldFailure_, {}));
}

void FtpSession::ChangePhase(Phase to) { phase_ = to; }

// ---------------------------------------------------------------- the client's events

void FtpSession::OnStatus(zp::TFtpStatusCode code, const std::string& info) {
    switch (code) {
        case zp::scOpen:
            break;
        case zp::scClose:
            EndBeforeLogin();
            break;
        case zp::scLogin:
            if (phase_ == Phase::Connecting) ChangeFolder(FolderAfterLogin());
            break;
        case zp::scComplete:
            if (phase_ != Phase::ChangingFolder) break;
            ChangePhase(Phase::Working);
            InFolder();
            break;
        case zp::scDataAvail:
            if (phase_ == Phase::Working) ListingReceived(info);
            break;
        case zp::scProgress:
            if (phase_ == Phase::Working) BlockMoved(ftp_.TransferredBytes());
            break;
        case zp::scTransferOK:
            if (phase_ == Phase::Working) TransferDone();
            break;
        case zp::scTimeout:
            SilenceAfterLogin();
            break;
        case zp::scLogout:
            if (phase_ == Phase::Idle) break;
            ChangePhase(Phase::Idle);
            Ended();
            break;
        case zp::scCurrentDir:
            sink_.Show(FtpStatusMessage(code, info));
            break;
    }
}

void FtpSession::OnError(std::int32_t code, const std::string& text) {
    if (code == zp::TZpCustomFtpClient::kConnectTimedOut) {
        EndBeforeLogin();
        return;
    }
    if (FailureTaken(code, text)) return;
    Fail(code, text);
}

void FtpSession::EndBeforeLogin() {
    const bool attempting = phase_ == Phase::Connecting;
    ChangePhase(Phase::Idle);
    // A Cancel or a refused login has ended it already, and said so.
    if (attempting) NotConnected();
}

void FtpSession::SilenceAfterLogin() {
    if (phase_ == Phase::Idle) return;
    if (phase_ == Phase::Connecting) {
        EndBeforeLogin();  // the client has closed the connection itself
        return;
    }
    LogOut();
    TimedOut();
}

void FtpSession::Fail(std::int32_t code, const std::string& text) {
    // The first failure is the one to tell; what follows from it adds nothing.
    if (failureShown_) {
        LogOut();
        return;
    }
    failureShown_ = true;
    const bool endFollows = ftp_.LoggedIn();
    LogOut();
    // After a login the end of the session shows it, so that nothing the end brings
    // (the update check's offers) opens over it; before the login no end follows.
    if (endFollows && phase_ != Phase::Idle) {
        heldFailure_ = FtpErrorMessage(code, text);
    } else {
        sink_.Show(FtpErrorMessage(code, text));
    }
}

}  // namespace update
