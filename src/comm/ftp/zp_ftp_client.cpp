#include "comm/ftp/zp_ftp_client.h"

#include <algorithm>
#include <exception>

#include "platform/clock.h"
#include "platform/message_wait.h"

namespace zp {

namespace {
// Logout's bound when TransferTimeout sets none: the default transfer timeout.
constexpr std::int32_t kDefaultTransferTimeout = 1092;

// A CR, LF or NUL in an argument would end the command early and smuggle in another.
bool SafeArgument(const std::string& s) { return s.find_first_of("\r\n\0", 0, 3) == s.npos; }
}  // namespace

TZpCustomFtpClient::TZpCustomFtpClient()
    : data_({[this] { FromSocket([this] { DataReadable(); }); },
             [this] { FromSocket([this] { DataWritable(); }); },
             [this](std::int32_t code) { FromSocket([this, code] { DataFailed(code); }); }}),
      buffer_(kReceiveSize),
      events_([this](const TFtpNotification& n) { HandleNotification(n); }) {
    connectTimer_.OnTimer = [this] { Guarded([this] { ConnectTimerFired(); }); };
}

TZpCustomFtpClient::~TZpCustomFtpClient() {
    destroying_ = true;
    *alive_ = false;
    events_.Clear();
    connectTimer_.SetEnabled(false);
    CloseDataConnection(true);
    closing_ = true;
    if (Open()) SetOpen(false);
}

// ---------------------------------------------------------------- operations

bool TZpCustomFtpClient::Login() {
    if (state_ != fsClosed && state_ != fsLoggingIn) return false;
    userAborted_ = false;
    lastFailure_ = TFtpFailureKind::None;
    if (connectTimeout_ > 0) {
        connectTimer_.SetEnabled(false);
        connectTimer_.SetInterval(connectTimeout_ * static_cast<int>(kTickMs));
        connectTimer_.SetEnabled(true);
    }
    if (state_ == fsClosed) {
        try {
            SetOpen(true);
        } catch (const EZpException& e) {
            if (!HasWsErrorHandler()) throw;
            FireWsError(e.ErrorCode());
            return false;
        }
        if (!Open()) return false;
        ChangeState(fsLoggingIn);
        return true;
    }
    // Before the connection is up there is nobody to repeat USER to.
    if (Connected()) SendCommand("USER " + userName_);
    return true;
}

bool TZpCustomFtpClient::Logout() {
    if (!Open()) return false;
    if (!Connected()) {
        ChangeState(fsClosed);
        return true;
    }
    // Not a command of the dialogue: the wait below has its own bound. A handler inside
    // another Logout's wait may log out again; the server has its QUIT already.
    if (!quitSent_) SendString("QUIT\r\n");
    quitSent_ = true;
    const std::shared_ptr<bool> alive = alive_;
    const std::int32_t ticks = transferTimeout_ > 0 ? transferTimeout_ : kDefaultTransferTimeout;
    ++logoutDepth_;
    const bool closed = platform::ProcessMessagesUntil([this, alive] { return !*alive || !Open(); },
                                                       ticks * static_cast<int>(kTickMs));
    if (!*alive) return true;
    if (!closed && Open()) ChangeState(fsClosed);
    if (--logoutDepth_ == 0) events_.Release();
    return true;
}

bool TZpCustomFtpClient::ChangeDirectory(const std::string& path) {
    if (state_ != fsIdle || !SafeArgument(path)) return false;
    userAborted_ = false;
    lastFailure_ = TFtpFailureKind::None;
    ChangeState(fsCommand);
    SendCommand(path.empty() ? "PWD" : "CWD " + path);
    return true;
}

bool TZpCustomFtpClient::AbortTransfer() {
    if (state_ <= fsIdle) return false;
    abort_ = true;
    userAborted_ = true;
    SendCommand("ABOR");
    PostLog(lcUserAbort);
    if (state_ == fsListing || state_ == fsReceiving || state_ == fsStoring) {
        // Whatever the server still sends is not wanted, and a store cut short must not
        // look complete to it: the data connection is reset now.
        data_.Close(true);
        DiscardLocalFile();
        transfer_.dataClosed = true;
    }
    return true;
}

// ---------------------------------------------------------------- state changes

void TZpCustomFtpClient::ChangeState(TFtpProcessState to) {
    const TFtpProcessState from = state_;
    if (trace_) trace_(from, to);
    if (to == fsClosed) {
        EnterClosed(from);
        return;
    }
    if (to == fsIdle) {
        // An operation ends here, however it ends: nothing of it may run on.
        StopTransferTimer();
        commands_.Clear();
        CloseDataConnection(true);
    }
    state_ = to;
}

void TZpCustomFtpClient::EnterClosed(TFtpProcessState from) {
    closing_ = true;
    StopTransferTimer();
    connectTimer_.SetEnabled(false);
    cutting_ = false;
    ++connectionId_;
    CloseDataConnection(true);
    if (Open()) SetOpen(false);
    loggedIn_ = false;
    quitSent_ = false;
    type_ = typeSent_ = 0;
    announcesSize_ = false;
    commands_.Clear();
    state_ = fsClosed;
    closing_ = false;
    // Inside Logout the close's events wait until Logout has returned.
    if (logoutDepth_ > 0) events_.Hold();
    if (from < fsIdle) {
        PostStatus(scClose);
    } else {
        PostStatus(scLogout);
        PostLog(lcLogout);
    }
}

void TZpCustomFtpClient::PortClosed() {
    if (!closing_ && state_ != fsClosed) ChangeState(fsClosed);
}

void TZpCustomFtpClient::WsConnected() {
    connectTimer_.SetEnabled(false);
    cutter_.Reset();
    assembler_.Reset();
    cutting_ = true;
    quitSent_ = false;
    type_ = typeSent_ = 0;
    announcesSize_ = false;
    // A server that accepts and never greets is bounded like any other silence.
    StartTransferTimer();
}

void TZpCustomFtpClient::WsConnectionLost(std::int32_t code) {
    const bool transferring = state_ == fsListing || state_ == fsReceiving || state_ == fsStoring;
    ChangeState(fsClosed);
    // Without its control connection a transfer cannot be confirmed: it failed.
    if (transferring) PostSocketError(code != 0 ? code : wsConnectionAborted);
}

bool TZpCustomFtpClient::ConnectFailureClosesPort(std::int32_t code) const {
    // Without a connect timer nothing else would end a connection that cannot come up.
    return connectTimeout_ <= 0 || TZpCustomWinsockPort::ConnectFailureClosesPort(code);
}

void TZpCustomFtpClient::ConnectTimerFired() {
    connectTimer_.SetEnabled(false);
    if (Connected()) return;
    ChangeState(fsClosed);
    // Directly, so that the error is handled before the queued scClose.
    FireError(kConnectTimedOut, {}, TFtpFailureKind::Transient);
}

// ---------------------------------------------------------------- control connection bytes

void TZpCustomFtpClient::TriggerAvail(std::uint16_t /*count*/) {
    TZpBaseDispatcher* d = CurrentPortDispatcher();
    if (d == nullptr) return;
    std::uint8_t chunk[TZpBaseDispatcher::kDispatchBufferSize];
    while (const std::size_t n = std::min(d->InbuffUsed(), sizeof chunk)) {
        if (d->GetBlock(chunk, n) < 0) break;
        if (!cutting_) continue;
        lines_.clear();
        cutter_.Feed(chunk, n, lines_);
        for (std::string& line : lines_) {
            events_.Post({TFtpNotification::Kind::ReplyLine, 0, std::move(line), connectionId_});
        }
    }
}

// ---------------------------------------------------------------- timers

void TZpCustomFtpClient::StartTransferTimer() {
    ++timerRun_;
    if (transferTimeout_ <= 0 || CurrentPortDispatcher() == nullptr || ShuttingDown()) return;
    if (timerHandle_ == 0) timerHandle_ = AddTimerTrigger();
    SetTimerTrigger(timerHandle_, transferTimeout_, true);
    timerStartMs_ = platform::MillisecondClock();
}

void TZpCustomFtpClient::RestartTransferTimerForBlock() {
    // Blocks come far more often than the timer's resolution: a restart within the same
    // tick would move the deadline by less than a tick.
    if (timerHandle_ != 0 && platform::MillisecondClock() - timerStartMs_ < kTickMs) return;
    StartTransferTimer();
}

void TZpCustomFtpClient::StopTransferTimer() {
    ++timerRun_;
    if (timerHandle_ == 0) return;
    if (CurrentPortDispatcher() != nullptr && !ShuttingDown()) RemoveTrigger(timerHandle_);
    timerHandle_ = 0;
}

void TZpCustomFtpClient::TriggerTimer(std::uint16_t handle) {
    if (handle != timerHandle_) return;
    StopTransferTimer();
    if (state_ != fsIdle) {
        events_.Post({TFtpNotification::Kind::Timeout, 0, {}, timerRun_});
    }
}

void TZpCustomFtpClient::HandleTimeout() {
    abort_ = true;
    const TFtpFailureKind kind =
        userAborted_ ? TFtpFailureKind::Cancelled : TFtpFailureKind::Transient;
    ChangeState(state_ == fsClosed || state_ == fsLoggingIn ? fsClosed : fsIdle);
    lastFailure_ = kind;
    FireStatus(scTimeout, {});
}

// ---------------------------------------------------------------- events

void TZpCustomFtpClient::HandleNotification(const TFtpNotification& n) {
    try {
        switch (n.kind) {
            case TFtpNotification::Kind::Status:
                if (n.code == scProgress) progressQueued_ = false;
                FireStatus(static_cast<TFtpStatusCode>(n.code), n.text);
                break;
            case TFtpNotification::Kind::Error:
                FireError(n.code, n.text, n.failure);
                break;
            case TFtpNotification::Kind::Log:
                if (onFtpLog_ && !destroying_) {
                    TFtpLogEvent call = onFtpLog_;
                    call(*this, static_cast<TFtpLogCode>(n.code));
                }
                break;
            case TFtpNotification::Kind::ReplyLine:
                if (n.tag == connectionId_) HandleReplyLine(n.text);
                break;
            case TFtpNotification::Kind::Timeout:
                if (n.tag == timerRun_) HandleTimeout();
                break;
        }
    } catch (const std::exception& e) {
        // A handler's failure is the user's to hear of; the session goes on.
        MessageSink().Show(e.what());
    } catch (...) {
        MessageSink().Show("Unknown exception in an FTP event handler");
    }
}

void TZpCustomFtpClient::PostStatus(TFtpStatusCode code, std::string info) {
    if (destroying_) return;
    if (code == scProgress) {
        // Its handler reads the count when it runs: one queued is as good as many.
        if (progressQueued_) return;
        progressQueued_ = true;
    }
    events_.Post({TFtpNotification::Kind::Status, code, std::move(info), 0});
}

void TZpCustomFtpClient::PostError(std::int32_t code, std::string text, TFtpFailureKind kind) {
    if (destroying_) return;
    if (userAborted_) {
        kind = TFtpFailureKind::Cancelled;
    } else if (kind == TFtpFailureKind::None) {
        kind = ClassifyFtpError(code);
    }
    events_.Post({TFtpNotification::Kind::Error, code, std::move(text), 0, kind});
}

void TZpCustomFtpClient::PostSocketError(std::int32_t code) { PostError(code, ErrorMessage(code)); }

void TZpCustomFtpClient::PostLog(TFtpLogCode code) {
    if (destroying_ || !onFtpLog_) return;
    events_.Post({TFtpNotification::Kind::Log, code, {}, 0});
}

void TZpCustomFtpClient::FireStatus(TFtpStatusCode code, const std::string& info) {
    if (destroying_ || !onFtpStatus_) return;
    TFtpStatusEvent call = onFtpStatus_;
    call(*this, code, info);
}

void TZpCustomFtpClient::FireError(std::int32_t code, const std::string& text,
                                   TFtpFailureKind kind) {
    lastFailure_ = kind;
    if (destroying_ || !onFtpError_) return;
    TFtpErrorEvent call = onFtpError_;
    call(*this, code, text);
}

// ---------------------------------------------------------------- sending

void TZpCustomFtpClient::SendCommand(const std::string& command) {
    StartTransferTimer();
    SendString(command + "\r\n");
}

void TZpCustomFtpClient::SendNextPending() {
    std::optional<std::string> command = commands_.Pop();
    if (command && command->rfind("REST ", 0) == 0) {
        // Nothing worth continuing: the file comes whole, without asking for a restart.
        if (transfer_.fromZero) {
            command = commands_.Pop();
        } else {
            transfer_.restAsked = true;
        }
    }
    if (!command) return;
    // Its answer is not the transfer's: whatever it says, the transfer goes on.
    if (command->rfind("SIZE ", 0) == 0) transfer_.sizeAsked = true;
    if (command->rfind("TYPE ", 0) == 0) typeSent_ = command->back();
    SendCommand(*command);
}

std::string TZpCustomFtpClient::TypeCommand(bool ascii) const {
    // The type holds for the whole connection once the server has taken it.
    const char wanted = ascii ? 'A' : 'I';
    return type_ == wanted ? std::string() : std::string("TYPE ") + wanted;
}

void TZpCustomFtpClient::FromSocket(const std::function<void()>& work) {
    events_.BeginBatch();
    Guarded(work);
    events_.EndBatch();  // last: a handler it runs may destroy this client
}

void TZpCustomFtpClient::SocketNotificationStarts() { events_.BeginBatch(); }

void TZpCustomFtpClient::SocketNotificationDone() { events_.EndBatch(); }

}  // namespace zp
