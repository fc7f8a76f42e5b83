#pragma once
// What every session on the update server has in common: while it holds the connection it
// takes the FTP client's events itself, logs in, changes to its folder, does its work
// there and logs out. A connection that never came up, a server that goes silent and a
// failure end every session the same way: the failure is told once, and one that comes
// after the login is held back until the session has ended, so that the user reads it
// after everything the end of the session says. A session adds its folder, its work and
// its words for what went wrong. A step the session marks as worth it survives a failure
// of the link: after a pause it is taken up again, on a new connection if the old one died.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"
#include "platform/message_sink.h"
#include "platform/window_timer.h"
#include "update/server_settings.h"

namespace update {

// The pauses, in ms, before a step that failed on the way is taken up again; their number
// is how often. A slow link's drops come in bursts: the pauses grow.
using RetryPauses = std::vector<int>;
inline const RetryPauses kRetryPauses = {2000, 5000, 10000};

class FtpSession {
  public:
    enum class Phase {
        Idle,            // no connection of this session
        Connecting,      // Login called, the login not yet complete
        ChangingFolder,  // CWD sent
        Working,         // in the folder: the session's own work
        LoggingOut,      // waiting for the connection to close
        RetryPause,      // a step failed on the way: it is taken up again after a pause
    };

    virtual ~FtpSession();
    FtpSession(const FtpSession&) = delete;
    FtpSession& operator=(const FtpSession&) = delete;

    Phase CurrentPhase() const { return phase_; }
    // The client holds a connection, this session's or another's on the same client, or
    // this session pauses before it takes its step up again.
    bool ConnectionOpen() const { return ftp_.IsActive() || phase_ == Phase::RetryPause; }
    // A box of the session (a failure, an offer) waits for the user's answer.
    bool AwaitingAnswer() const { return sink_.Showing(); }
    // For the sessions that follow; none: a failure is never retried.
    void SetRetryPauses(RetryPauses pauses) { retryPauses_ = std::move(pauses); }

  protected:
    // Sets the client up as every session needs it: passive, binary, and its time limits.
    // Both `ftp` and `sink` outlive the session.
    FtpSession(zp::TZpCustomFtpClient& ftp, platform::MessageSink& sink);

    // Takes the client's events, points the client at `server` and logs in. A host that
    // cannot be resolved is left to the connect timer, already armed, to report.
    void Open(const ServerSettings& server);
    // Once the server is in `folder`, the work begins (InFolder).
    void ChangeFolder(const std::string& folder);
    // Also ends a pause before a retry; the session ends then even without a connection.
    void LogOut();
    // The client would not start a step of the session (`what`, "list the server
    // folder"): it ends, and StepRefused says so.
    void EndRefused(const std::string& what);
    // A failure held back for the end of the session, shown now.
    void ShowHeldFailure();

    zp::TZpCustomFtpClient& Ftp() { return ftp_; }
    platform::MessageSink& Sink() { return sink_; }

    // ---- the session's own part ----
    virtual std::string FolderAfterLogin() const = 0;
    // The session is in its folder.
    virtual void InFolder() = 0;
    // Events of the work, while the session is in its folder.
    virtual void ListingReceived(const std::string& listing) { (void)listing; }
    virtual void BlockMoved(std::uint64_t transferredBytes) { (void)transferredBytes; }
    virtual void TransferDone() {}
    // The connection ended before the login was complete (refused, dropped, or not up
    // within the connect time): no end of the session follows.
    virtual void NotConnected() = 0;
    // The server went silent during the work; the session is logging out.
    virtual void TimedOut() = 0;
    // The client would not start `what`; the session is logging out.
    virtual void StepRefused(const std::string& what) = 0;
    // A failure that the work takes in its stride: true, and the session goes on. False:
    // the failure ends the session.
    virtual bool FailureTaken(std::int32_t code, const std::string& text) {
        (void)code;
        (void)text;
        return false;
    }
    // The logged-in session has ended; a failure held back is still to be shown.
    virtual void Ended() = 0;
    // The running step may be taken up again after a failure worth another attempt.
    virtual bool RetryWanted() const { return false; }
    // The step failed; `attempt` of `budget` follows after a pause.
    virtual void RetryComing(int attempt, int budget) {
        (void)attempt;
        (void)budget;
    }
    // The pause is over and the session is in its folder again: the step once more.
    virtual void TakeUpAgain() {}

  private:
    void ChangePhase(Phase to);
    // The client's two events.
    void OnStatus(zp::TFtpStatusCode code, const std::string& info);
    void OnError(std::int32_t code, const std::string& text);
    void EndBeforeLogin();
    void SilenceAfterLogin();
    void Fail(std::int32_t code, const std::string& text);
    // A failure of the link during a step worth another attempt, while attempts are left:
    // the pause begins, and true. `code` and `text` are told if no attempt gets through.
    // `linkLost`: the connection is gone, whatever the client's last failure says.
    bool RetryLater(std::int32_t code, const std::string& text, bool linkLost = false);
    void PauseOver();
    // A new connection for a retry did not come up.
    void ReconnectFailed();

    zp::TZpCustomFtpClient& ftp_;
    platform::TrackedMessageSink sink_;
    Phase phase_ = Phase::Idle;
    bool failureShown_ = false;  // later failures of the session add nothing
    std::string heldFailure_;    // shown by the end of the session
    ServerSettings server_;
    RetryPauses retryPauses_ = kRetryPauses;
    int retries_ = 0;            // of the running step
    bool reconnecting_ = false;  // the login under way takes a step up again
    std::int32_t retryCode_ = 0;
    std::string retryText_;  // the failure that began the retries
    platform::WindowTimer retryTimer_;
    // The client's handlers outlive no session: they check this first.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The box for an FTP failure the session has no words of its own for.
std::string FtpErrorMessage(std::int32_t code, const std::string& text);

// The box for a status event no session expects.
std::string FtpStatusMessage(int code, const std::string& info);

}  // namespace update
