#pragma once
// One update check on the server: log in, change to the folder, list it, compare the
// listing with the local folders, fetch what is wanted one file after the other, log out,
// then offer a newer driver and a newer program and re-choose the language. Started from
// the Installation page it first fetches "ProgramFiles" into ProgramDir and, 2 s later,
// goes on with "/UpdateFiles" in the same login. The session is a chain of reactions to
// the FTP client's events; it sees the window only through UpdateCheckView.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "platform/window_timer.h"
#include "update/ftp_session_events.h"
#include "update/installer_offers.h"
#include "update/local_folders.h"

namespace update {

// What the installer offers take from the window.
struct OfferWindowParts {
    std::string caption;                 // the title of the offers' boxes
    std::vector<std::string> arguments;  // the program's arguments, for its restart
    ProgramFile program;                 // what a self-update replaces
    ScriptStarter startScript;           // empty: /bin/sh in ProgramDir
    std::function<void()> requestEnd;
};

// What the update check asks of the window.
class UpdateCheckView {
  public:
    virtual ~UpdateCheckView() = default;
    // A line at the end of page 2's status log.
    virtual void AddStatusLine(const std::string& line) = 0;
    // Page 2's byte counter of the running download.
    virtual void SetByteCounter(const std::string& caption) = 0;
    // Page 2's button: "Cancel" while the check runs, "Finish" once it has ended.
    virtual void SetDownloadPageButton(const std::string& caption) = 0;
    // The installation's program files are all here: the window's step is the update check.
    virtual void InstallationFilesFetched() = 0;
    // The connection has ended: re-choose the language, so fetched language files count.
    virtual void RefreshLanguage() = 0;
    virtual OfferWindowParts InstallerOfferParts() = 0;
};

// The parts the session works with; all outlive it. Every box of the check goes to
// `sink`.
struct UpdateCheckParts {
    zp::TZpCustomFtpClient& ftp;
    const i18n::TextTable& texts;
    platform::MessageSink& sink;
    platform::WindowTimer& folderPause;  // between the installation and the update folder
    UpdateCheckView& view;
};

struct UpdateCheckStart {
    LocalFolders folders;
    bool serviceMode = false;   // test releases are wanted too
    bool installation = false;  // fetch "ProgramFiles" into ProgramDir first
    // Program files that come with the installed package: the installation never fetches
    // them, so no code from the server is run in their place.
    std::vector<std::string> packagedFiles = {};
};

class UpdateSession : public FtpSessionEvents {
  public:
    enum class State {
        Idle,            // no check running
        Connecting,      // Login called
        ChangingFolder,  // CWD sent
        Listing,         // NLST running
        Downloading,     // the first queued file is being fetched
        Pausing,         // the installation's files are here; the update folder follows
        LoggingOut,      // waiting for the connection to close
    };

    explicit UpdateSession(UpdateCheckParts parts) : parts_(parts), sink_(parts.sink) {}

    // Logs in; an error raised while starting is left to the connect timer to report.
    void Start(const UpdateCheckStart& start);
    // Page 2's cancel while the connection is open: abort, log out, say so.
    void Cancel();
    // The pause after the installation's files is over: on to "/UpdateFiles".
    void PauseEnded();

    State CurrentState() const { return state_; }
    // A box of the check (a failure, an offer) waits for the user's answer.
    bool AwaitingAnswer() const { return sink_.Showing(); }

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
    // The events that move the check on; what each means depends on the state.
    struct Event {
        enum class Kind { LoggedIn, FolderChanged, Listing, Block, TransferDone };
        Kind kind;
        const std::string* listing = nullptr;
        std::uint64_t bytes = 0;
    };

    void ChangeState(State to);
    void Handle(const Event& event);
    void WhileConnecting(const Event& event);
    void WhileChangingFolder(const Event& event);
    void WhileListing(const Event& event);
    void WhileDownloading(const Event& event);

    void ChangeFolder(const std::string& folder);
    void CompareListing(const std::string& listing);
    void StartNextDownload();
    // The server refused the file being fetched: noted, and the queue goes on.
    void SkipRefusedFile(const std::string& text);
    // The connection ended before the login was complete: no logout follows.
    void NotConnected();
    void LogOut();
    void EndOfSession();
    void Status(i18n::TextId id);
    void Status(const std::string& line);

    UpdateCheckParts parts_;
    platform::TrackedMessageSink sink_;
    State state_ = State::Idle;
    UpdateCheckStart start_;
    std::vector<std::string> queue_;
    std::string programNotFetched_;        // a newer program left to the package manager
    std::vector<std::string> notFetched_;  // "name: the server's answer", for the end
    bool cancelled_ = false;               // the user pressed Cancel
    bool failureShown_ = false;            // later failures of the check add nothing
    std::string failureBox_;               // shown by the end of the session
};

}  // namespace update
