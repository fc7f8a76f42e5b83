#pragma once
// One update check on the server: log in, change to the folder, list it, compare the
// listing with the local folders, fetch what is wanted one file after the other, log out,
// then offer a newer driver and a newer program and re-choose the language. Started from
// the Installation page it first fetches "ProgramFiles" into ProgramDir and, 2 s later,
// goes on with "/UpdateFiles" in the same login. The session is a chain of reactions to
// the FTP client's events (FtpSession); it sees the window only through UpdateCheckView.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "platform/window_timer.h"
#include "update/ftp_session.h"
#include "update/installer_offers.h"
#include "update/local_folders.h"
#include "update/server_settings.h"

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
// `sink`. The session sets `folderPause`'s handler.
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
    ServerSettings server = {};
};

class UpdateSession : public FtpSession {
  public:
    explicit UpdateSession(UpdateCheckParts parts);

    // Logs in, unless another session still holds the connection (a registration on its
    // way): then the status log says so and nothing starts.
    void Start(const UpdateCheckStart& start);
    // Page 2's cancel while the connection is open: abort, log out, say so.
    void Cancel();

  private:
    // What the check does in the server's folder.
    enum class Work {
        Listing,      // NLST running
        Downloading,  // the first queued file is being fetched
        Pausing,      // the installation's files are here; the update folder follows
    };

    std::string FolderAfterLogin() const override;
    void InFolder() override;
    void ListingReceived(const std::string& listing) override;
    void BlockMoved(std::uint64_t transferredBytes) override;
    void TransferDone() override;
    void NotConnected() override;
    void TimedOut() override;
    void StepRefused(const std::string& what) override;
    bool FailureTaken(std::int32_t code, const std::string& text) override;
    void Ended() override;
    bool RetryWanted() const override;
    void RetryComing(int attempt, int budget) override;
    void TakeUpAgain() override;

    void ChangeWork(Work to);
    // The pause after the installation's files is over: on to "/UpdateFiles".
    void PauseEnded();
    void CompareListing(const std::string& listing);
    // `announce`: the status log names the file; a retry has named it already.
    void StartNextDownload(bool announce = true);
    // Partial downloads whose file is no longer wanted are deleted.
    void DropUnwantedPartials() const;
    // The server refused the file being fetched: noted, and the queue goes on.
    void SkipRefusedFile(const std::string& text);
    void Status(i18n::TextId id);
    void Status(const std::string& line);

    UpdateCheckParts parts_;
    Work work_ = Work::Listing;
    UpdateCheckStart start_;
    std::vector<std::string> queue_;
    std::string programNotFetched_;        // a newer program left to the package manager
    std::vector<std::string> notFetched_;  // "name: the server's answer", for the end
    bool cancelled_ = false;               // the user pressed Cancel
};

}  // namespace update
