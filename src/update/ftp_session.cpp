#include "update/ftp_session.h"

#include <exception>
#include <utility>

#include "comm/ftp/winsock_errors.h"
#include "comm/zp_errors.h"
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
    retryTimer_.OnTimer = [this] { PauseOver(); };
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
    server_ = server;
    if (!reconnecting_) {
        failureShown_ = false;
        heldFailure_.clear();
        retries_ = 0;
    }
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
    const bool paused = phase_ == Phase::RetryPause;
    retryTimer_.SetEnabled(false);
    if (phase_ != Phase::Idle) ChangePhase(Phase::LoggingOut);
    // The close's own event ends the session once Logout has returned. A pause may have
    // no connection left to close: the timer ends it then, as a close's event would, after
    // the caller has said why.
    if (!ftp_.Logout() && paused) {
        retryTimer_.SetInterval(1);
        retryTimer_.SetEnabled(true);
    }
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
            if (phase_ != Phase::RetryPause) EndBeforeLogin();
            break;
        case zp::scLogin:
            if (phase_ == Phase::Connecting) ChangeFolder(FolderAfterLogin());
            break;
        case zp::scComplete:
            if (phase_ != Phase::ChangingFolder) break;
            ChangePhase(Phase::Working);
            if (std::exchange(reconnecting_, false)) {
                TakeUpAgain();
            } else {
                InFolder();
            }
            break;
        case zp::scDataAvail:
            if (phase_ == Phase::Working) ListingReceived(info);
            break;
        case zp::scProgress:
            if (phase_ == Phase::Working) BlockMoved(ftp_.TransferredBytes());
            break;
        case zp::scTransferOK:
            if (phase_ != Phase::Working) break;
            retries_ = 0;
            TransferDone();
            break;
        case zp::scTimeout:
            SilenceAfterLogin();
            break;
        case zp::scLogout:
            // A close during a pause: the pause's end opens a new connection.
            if (phase_ == Phase::Idle || phase_ == Phase::RetryPause) break;
            // The connection died under a step: the error that follows adds nothing.
            if (phase_ == Phase::Working &&
                RetryLater(zp::wsConnectionAborted, zp::ErrorMessage(zp::wsConnectionAborted),
                           true))
                break;
            ChangePhase(Phase::Idle);
            Ended();
            break;
        case zp::scCurrentDir:
            sink_.Show(FtpStatusMessage(code, info));
            break;
    }
}

void FtpSession::OnError(std::int32_t code, const std::string& text) {
    // What follows a failure that is being retried adds nothing to it.
    if (phase_ == Phase::RetryPause) return;
    if (code == zp::TZpCustomFtpClient::kConnectTimedOut) {
        EndBeforeLogin();
        return;
    }
    if (FailureTaken(code, text)) return;
    if (phase_ == Phase::Working && RetryLater(code, text)) return;
    Fail(code, text);
}

void FtpSession::EndBeforeLogin() {
    if (reconnecting_) {
        ReconnectFailed();
        return;
    }
    const bool attempting = phase_ == Phase::Connecting;
    ChangePhase(Phase::Idle);
    // A Cancel or a refused login has ended it already, and said so.
    if (attempting) NotConnected();
}

void FtpSession::SilenceAfterLogin() {
    if (phase_ == Phase::Idle || phase_ == Phase::RetryPause) return;
    if (phase_ == Phase::Connecting) {
        EndBeforeLogin();  // the client has closed the connection itself
        return;
    }
    if (phase_ == Phase::Working && RetryLater(zp::TZpCustomFtpClient::kConnectTimedOut, {}))
        return;
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

// ---------------------------------------------------------------- retries

bool FtpSession::RetryLater(std::int32_t code, const std::string& text, bool linkLost) {
    const bool transient = linkLost || ftp_.LastFailure() == zp::TFtpFailureKind::Transient;
    if (!transient || !RetryWanted() || retries_ >= static_cast<int>(retryPauses_.size()))
        return false;
    ++retries_;
    retryCode_ = code;
    retryText_ = text;
    ChangePhase(Phase::RetryPause);
    // A connection that cannot take the next command is closed now, so that its events
    // come during the pause.
    if (ftp_.IsActive() && !(ftp_.LoggedIn() && ftp_.ProcessState() == zp::fsIdle)) ftp_.Logout();
    RetryComing(retries_, static_cast<int>(retryPauses_.size()));
    retryTimer_.SetInterval(retryPauses_[static_cast<std::size_t>(retries_ - 1)]);
    retryTimer_.SetEnabled(true);
    return true;
}

void FtpSession::PauseOver() {
    retryTimer_.SetEnabled(false);
    if (phase_ == Phase::LoggingOut && !ftp_.IsActive()) {
        // Logged out during the pause, with no connection whose close would end it.
        ChangePhase(Phase::Idle);
        Ended();
        return;
    }
    if (phase_ != Phase::RetryPause) return;
    if (ftp_.LoggedIn() && ftp_.ProcessState() == zp::fsIdle) {
        ChangePhase(Phase::Working);
        TakeUpAgain();
        return;
    }
    if (ftp_.IsActive()) {
        // Another session has taken the client meanwhile: this one cannot go on.
        ReconnectFailed();
        return;
    }
    reconnecting_ = true;
    Open(server_);
}

void FtpSession::ReconnectFailed() {
    const bool attempting = phase_ == Phase::Connecting || phase_ == Phase::RetryPause;
    reconnecting_ = false;
    ChangePhase(Phase::RetryPause);
    if (attempting && RetryLater(retryCode_, retryText_, true)) return;
    // The session was logged in: it ends as a logged-in one does, with the failure told
    // unless the user ended it.
    ChangePhase(Phase::Idle);
    if (attempting && retryCode_ == zp::TZpCustomFtpClient::kConnectTimedOut) {
        TimedOut();  // a silent server, told as when no retry follows
    } else if (attempting && !failureShown_) {
        failureShown_ = true;
        heldFailure_ = FtpErrorMessage(retryCode_, retryText_);
    }
    Ended();
}

}  // namespace update
