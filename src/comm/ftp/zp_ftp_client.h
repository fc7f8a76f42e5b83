#pragma once
// The FTP client component: one control connection on the socket port, the login
// dialogue, single commands, and listings, retrieves and stores over a passive data
// connection. Every operation returns at once; its outcome arrives later as events on
// the GUI thread, in the order they were posted:
//
//   Login          scOpen (greeting), scLogin                       | error, scClose
//   ChangeDirectory scComplete (CWD) or scCurrentDir (PWD)           | error
//   ListDirectory  scDataAvail with the whole listing                | error, scTimeout
//   RetrieveFile   scProgress as bytes come, scTransferOK            | error, scTimeout
//   StoreFile      scProgress per block, scTransferOK                | error, scTimeout
//   Logout         scLogout (scClose before login), after it returns
//
// The state is back at fsIdle when scComplete, scCurrentDir, scDataAvail and scTransferOK
// are handled, so their handlers may start the next operation; what a socket brings is
// handled when it comes, so such a handler runs, and its next command goes out, without
// another turn of the event loop. A listing or retrieve counts as done only when the data
// connection has closed and the server has confirmed it (226 or 250), and a retrieve only
// with the size the server gave (SIZE, or the 150 reply's "(N bytes)") when it gave one; a
// store when every byte is sent and the server has confirmed it. Anything else ends as one
// error event (or scTimeout), whose kind LastFailure tells, and, for a retrieve, leaves the
// local file as it was: an operation never ends without an event. One scProgress waits at
// most: its handler reads TransferredBytes when it runs.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/ftp/ftp_command_stack.h"
#include "comm/ftp/ftp_data_connection.h"
#include "comm/ftp/ftp_event_queue.h"
#include "comm/ftp/ftp_failure.h"
#include "comm/ftp/ftp_local_file.h"
#include "comm/ftp/ftp_reply.h"
#include "comm/ftp/ftp_types.h"
#include "comm/ftp/zp_winsock_port.h"
#include "platform/window_timer.h"

namespace zp {

class TZpCustomFtpClient : public TZpCustomWinsockPort {
  public:
    using TFtpStatusEvent = std::function<void(TZpCustomFtpClient& sender, TFtpStatusCode code,
                                               const std::string& info)>;
    using TFtpErrorEvent =
        std::function<void(TZpCustomFtpClient& sender, std::int32_t code, const std::string& text)>;
    using TFtpReplyEvent =
        std::function<void(TZpCustomFtpClient& sender, std::int32_t code, const std::string& text)>;
    using TFtpLogEvent = std::function<void(TZpCustomFtpClient& sender, TFtpLogCode code)>;
    using TStateTrace = std::function<void(TFtpProcessState from, TFtpProcessState to)>;

    // A store reads and sends at most this much at a time.
    static constexpr std::size_t kBlockSize = 32769;
    // A retrieve or listing receives up to this much at a time: a fast link fills the
    // socket faster than small reads could empty it.
    static constexpr std::size_t kReceiveSize = 256 * 1024;
    // A listing beyond this ends with error 10040 instead of a cut list.
    static constexpr std::size_t kListingLimit = 16u * 1024 * 1024;
    // Error code of a connection that did not come up within ConnectTimeout.
    static constexpr std::int32_t kConnectTimedOut = -1;
    // Error code of a local file that could not be written, read or put in place.
    static constexpr std::int32_t kLocalFileError = 451;
    // Error code of a reply that ends an operation without being one of its answers (no
    // code, or a positive code out of place); the text is the reply.
    static constexpr std::int32_t kUnexpectedReply = -2;
    // Error code of a retrieve that received another number of bytes than the server
    // announced. The received bytes are discarded; in restart mode a partial file that
    // fell short is kept, for the next attempt to continue.
    static constexpr std::int32_t kSizeMismatch = -3;

    // Modes of RetrieveFile.
    static constexpr std::uint8_t kRetrieveAppend = 0;
    static constexpr std::uint8_t kRetrieveReplace = 1;
    static constexpr std::uint8_t kRetrieveRestart = 2;

    TZpCustomFtpClient();
    ~TZpCustomFtpClient() override;

    // ---- properties ----
    const std::string& UserName() const { return userName_; }
    void SetUserName(const std::string& s) { userName_ = s; }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& s) { password_ = s; }
    const std::string& Account() const { return account_; }
    void SetAccount(const std::string& s) { account_ = s; }
    // Transfers need passive mode: this client opens no listening socket.
    bool PassiveMode() const { return passiveMode_; }
    void SetPassiveMode(bool on) { passiveMode_ = on; }
    TFtpFileType FileType() const { return fileType_; }
    void SetFileType(TFtpFileType t) { fileType_ = t; }
    // Ticks of 55 ms; 0 is no limit.
    std::int32_t ConnectTimeout() const { return connectTimeout_; }
    void SetConnectTimeout(std::int32_t ticks) { connectTimeout_ = ticks; }
    // Ticks of silence allowed while a command, the login or a transfer is pending; 0 is
    // no limit (Logout then still gives up after the default).
    std::int32_t TransferTimeout() const { return transferTimeout_; }
    void SetTransferTimeout(std::int32_t ticks) { transferTimeout_ = ticks; }

    void SetOnFtpStatus(TFtpStatusEvent e) { onFtpStatus_ = std::move(e); }
    void SetOnFtpError(TFtpErrorEvent e) { onFtpError_ = std::move(e); }
    void SetOnFtpReply(TFtpReplyEvent e) { onFtpReply_ = std::move(e); }
    void SetOnFtpLog(TFtpLogEvent e) { onFtpLog_ = std::move(e); }
    // Called at every change of the process state, before the new state's entry steps.
    void SetStateTrace(TStateTrace t) { trace_ = std::move(t); }

    // ---- operations ----
    // In fsClosed: opens the control connection (raising EWinsockError for a bad address
    // or port unless OnWsError is set); in fsLoggingIn: sends USER again. False elsewhere.
    bool Login();
    // Sends QUIT and waits, handling the window's events, until the server has closed the
    // connection, at most TransferTimeout; then closes it itself. The events of the close
    // are delivered after Logout has returned. A Logout called while one waits sends no
    // second QUIT. False when no connection was open.
    bool Logout();
    // CWD path, or PWD for an empty path. In fsIdle only.
    bool ChangeDirectory(const std::string& path);
    // NLST (full false) or LIST, with the path when it is not empty. In fsIdle only.
    bool ListDirectory(const std::string& path, bool full);
    // Mode 1 (kRetrieveReplace) replaces the local file once the transfer has succeeded;
    // mode 0 appends to it. Mode 2 (kRetrieveRestart) continues `partial`, a file the
    // caller names (made when missing), from where it ends (REST), and once the whole
    // file has come and its size matches the server's (SIZE, or the 150 reply), renames it
    // to `local`. A server that will not restart (any answer to REST but 350), or whose
    // file is no longer than the partial, sends the file from its first byte, which then
    // replaces what the partial held. A restart retrieve that fails, is cut, aborted or
    // times out keeps the partial with what came (PartialBytes), never under the final
    // name; one that came long drops it. Every mode leaves `local` whole until it is
    // replaced. In fsIdle only, with both names; restart in binary type only, with a
    // partial that is not `local`.
    bool RetrieveFile(const std::string& remote, const std::string& local, std::uint8_t mode,
                      const std::string& partial = {});
    // Mode 1 STOR, 0 APPE, 2 STOU. In fsIdle only, with a remote name and a local file.
    bool StoreFile(const std::string& remote, const std::string& local, std::uint8_t mode);
    // Sends ABOR and drops the running transfer's data connection; the server's answer
    // ends the operation (426: an error event). False in fsIdle and below.
    bool AbortTransfer();
    bool IsActive() const { return state_ != fsClosed; }

    TFtpProcessState ProcessState() const { return state_; }
    bool LoggedIn() const { return loggedIn_; }
    // Bytes of the running or last listing or transfer (in restart mode, those received
    // beyond RestartOffset).
    std::uint64_t TransferredBytes() const { return transferred_; }
    // Where the running or last restart retrieve continues the file: the partial's size at
    // the start, 0 once the server sends from the first byte.
    std::uint64_t RestartOffset() const { return restartOffset_; }
    // The bytes the last restart retrieve's partial file holds: at the start its size,
    // after a failure what the next attempt continues from, 0 once it is complete under
    // the final name or was dropped.
    std::uint64_t PartialBytes() const { return partialBytes_; }
    // What the failure being reported amounts to, read in the handler of its OnFtpError or
    // scTimeout (afterwards until the next operation starts; None before any failure):
    // Transient ones are worth another attempt, Cancelled ones came from AbortTransfer.
    TFtpFailureKind LastFailure() const { return lastFailure_; }

  protected:
    bool WantsEvents() const override { return true; }
    void SocketNotificationStarts() override;
    void SocketNotificationDone() override;
    void TriggerAvail(std::uint16_t count) override;
    void TriggerTimer(std::uint16_t handle) override;
    void PortClosed() override;
    void WsConnected() override;
    void WsConnectionLost(std::int32_t code) override;
    bool ConnectFailureClosesPort(std::int32_t code) const override;

  private:
    // What one listing or transfer has seen so far.
    struct Transfer {
        bool dataClosed = false;  // the server closed the data connection
        bool sendDone = false;    // a store has sent everything and shut down
        bool confirmed = false;   // 226 or 250 arrived
        bool checkSize = false;   // a binary retrieve: the server's size is its size
        bool sizeAsked = false;   // SIZE is out, its answer not yet in
        bool restAsked = false;   // REST is out, its answer not yet in
        // A restart retrieve whose server sends from the first byte: the partial is
        // emptied when the first byte comes, so that a refusal before keeps it.
        bool fromZero = false;
        // The retrieve's size as the server gave it; the received bytes must match it.
        std::optional<std::uint64_t> sizeReplied;  // SIZE
        std::optional<std::uint64_t> announced;    // the 150 reply
        std::uint64_t storePosition = 0;
        std::string listing;
        // A failure that ended the data connection, reported when the server has answered.
        std::int32_t failCode = 0;
        std::string failText;
        // This side gave up (its local file, the listing's bound), so its reason is what the
        // user hears of. Else the data connection was cut from outside, and the server's
        // answer, which names the cause, is reported instead when it is an error.
        bool failedHere = false;
        TFtpFailureKind failKind = TFtpFailureKind::None;
    };

    // ---- the state machine (zp_ftp_client.cpp) ----
    void ChangeState(TFtpProcessState to);
    void EnterClosed(TFtpProcessState from);
    void HandleNotification(const TFtpNotification& n);
    void HandleTimeout();
    void ConnectTimerFired();

    // ---- replies, one handler per state (zp_ftp_client_replies.cpp) ----
    void HandleReplyLine(const std::string& line);
    void HandleReply(int code, const std::string& text);
    void ReplyWhileLoggingIn(int code, const std::string& text);
    void ReplyWhileTransferring(int code, const std::string& text);
    void ReplyToCommand(int code, const std::string& text);
    void ReplyWhileIdle(int code, const std::string& text);
    void ErrorPath(int code, const std::string& text);
    void PassiveReply(const std::string& text);

    // ---- data transfers (zp_ftp_client_transfers.cpp) ----
    // `askSize`: SIZE goes before PASV, so that the retrieve can be checked against it;
    // `restartAt` above 0: REST goes before the command.
    bool StartTransfer(TFtpProcessState state, const std::string& command, bool ascii,
                       const std::string& askSize = {}, std::uint64_t restartAt = 0);
    void DataReadable();
    void DataWritable();
    void DataFailed(std::int32_t code);
    void ReadBlocks();
    // Writes received bytes to the local file, emptying a partial first when the server
    // sends from the first byte; false when the file cannot take them.
    bool WriteReceived(const std::uint8_t* bytes, std::size_t count);
    // The same, with the failure reported.
    bool WriteReceivedOrFail(const std::uint8_t* bytes, std::size_t count);
    // What the server sent before it gave up on a restart retrieve, kept for the next attempt.
    void KeepWhatArrived();
    // A restart retrieve gets the whole file: the partial is emptied at the first byte.
    void StartFromZero();
    void SendBlocks();
    void FailTransfer(std::int32_t code, const std::string& text, bool here = true,
                      TFtpFailureKind kind = TFtpFailureKind::None);
    void TryComplete();
    // A retrieve that received another number of bytes than announced: the text (else
    // empty), and whether more came than the file holds.
    struct SizeCheck {
        std::string mismatch;
        bool tooLong = false;
    };
    SizeCheck CheckSize() const;
    // `reset`: the server must not take what it got as complete.
    void CloseDataConnection(bool reset);
    // The transfer failed: the local file as the mode wants it (a partial kept).
    void DiscardLocalFile();
    // Runs the work of a socket notification, then handles what it queued.
    void FromSocket(const std::function<void()>& work);

    // ---- sending and timers ----
    void SendCommand(const std::string& command);
    void SendNextPending();
    // The TYPE command a transfer needs first, empty when the server has that type already.
    std::string TypeCommand(bool ascii) const;
    void StartTransferTimer();
    void RestartTransferTimerForBlock();
    void StopTransferTimer();

    // ---- events ----
    void PostStatus(TFtpStatusCode code, std::string info = {});
    // `kind` None: by the code (ClassifyFtpError); any error counts as Cancelled once the
    // caller has aborted the operation.
    void PostError(std::int32_t code, std::string text,
                   TFtpFailureKind kind = TFtpFailureKind::None);
    // A socket failure, with the error table's text for it.
    void PostSocketError(std::int32_t code);
    void PostLog(TFtpLogCode code);
    void FireStatus(TFtpStatusCode code, const std::string& info);
    void FireError(std::int32_t code, const std::string& text, TFtpFailureKind kind);

    std::string userName_;
    std::string password_;
    std::string account_;
    bool passiveMode_ = false;
    TFtpFileType fileType_ = ftBinary;
    std::int32_t connectTimeout_ = 0;
    std::int32_t transferTimeout_ = 1092;

    TFtpStatusEvent onFtpStatus_;
    TFtpErrorEvent onFtpError_;
    TFtpReplyEvent onFtpReply_;
    TFtpLogEvent onFtpLog_;
    TStateTrace trace_;

    TFtpProcessState state_ = fsClosed;
    bool loggedIn_ = false;
    bool abort_ = false;
    bool userAborted_ = false;  // AbortTransfer was called for the running operation
    TFtpFailureKind lastFailure_ = TFtpFailureKind::None;
    bool destroying_ = false;
    bool closing_ = false;
    int logoutDepth_ = 0;
    bool quitSent_ = false;  // on this connection
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // Reply lines are cut only while connected; a line still queued from an earlier
    // connection is recognised by its tag and dropped.
    bool cutting_ = false;
    std::uint64_t connectionId_ = 0;
    TReplyLineCutter cutter_;
    TReplyAssembler assembler_;
    TFtpCommandStack commands_;

    // The transfer timer is a timer trigger of the port's dispatcher; a time-out queued
    // before the timer was restarted is recognised by its run number and ignored.
    std::uint16_t timerHandle_ = 0;
    std::uint64_t timerRun_ = 0;
    std::uint32_t timerStartMs_ = 0;
    platform::WindowTimer connectTimer_;

    TFtpDataConnection data_;
    TFtpLocalFile file_;
    Transfer transfer_;
    std::uint64_t transferred_ = 0;
    std::uint64_t restartOffset_ = 0;
    std::uint64_t partialBytes_ = 0;
    // An scProgress is queued: the next ones are folded into it (its handler reads
    // TransferredBytes then).
    bool progressQueued_ = false;
    // What the server knows of this connection: the TYPE in force (0 before any), and
    // whether its 150 replies announce the size, which then makes SIZE unnecessary.
    char type_ = 0;
    char typeSent_ = 0;
    bool announcesSize_ = false;
    std::vector<std::uint8_t> buffer_;
    std::vector<std::string> lines_;

    TFtpEventQueue events_;
};

// The component as the program places it.
class TZpFtpClient : public TZpCustomFtpClient {
  public:
    TZpFtpClient() = default;
};

}  // namespace zp
