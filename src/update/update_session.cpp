#include "update/update_session.h"

#include <exception>
#include <utility>

#include "platform/strings.h"
#include "update/file_rules.h"
#include "update/listing_names.h"
#include "update/listing_sync.h"

namespace update {

using i18n::TextId;

namespace {

constexpr const char* kInstallFolder = "ProgramFiles";
constexpr const char* kUpdateFolder = "UpdateFiles";
// Reached from the installation's folder, so from the login folder whatever that is.
constexpr const char* kUpdateFolderFromInstall = "/UpdateFiles";
constexpr int kInstallPauseMs = 2000;
constexpr std::uint8_t kReplace = 1;

// The installation's status lines are English in every language.
constexpr const char* kFoundNoProgramFiles = "Found no files!";
constexpr const char* kFoundProgramFiles = "Found program files - starting download";
constexpr const char* kDownloadIncomplete = "Download incomplete: some files could not be fetched";

// The server's answer to ABOR: after the user's own Cancel it is no news.
constexpr std::int32_t kTransferAborted = 426;

// Answers that refuse one file (unavailable, busy, a name not allowed): the others may
// still come.
bool RefusesOneFile(std::int32_t code) { return code == 450 || code == 550 || code == 553; }

std::string NotFetchedBox(const std::vector<std::string>& notFetched) {
    std::string text = "Not every file could be fetched; the next check tries again.";
    for (const auto& line : notFetched) text += "\n" + line;
    return text;
}

}  // namespace

// ---------------------------------------------------------------- operations

void UpdateSession::Start(const UpdateCheckStart& start) {
    start_ = start;
    queue_.clear();
    programNotFetched_.clear();
    notFetched_.clear();
    cancelled_ = false;
    failureShown_ = false;
    failureBox_.clear();
    // An unattended check comes straight to page 2, whose button may still say "Finish".
    parts_.view.SetDownloadPageButton(parts_.texts[TextId::Cancel]);
    ChangeState(State::Connecting);
    try {
        parts_.ftp.Login();
    } catch (const std::exception&) {
        // A host that cannot be resolved: the connect timer, already armed, reports it.
    }
}

void UpdateSession::Cancel() {
    cancelled_ = true;
    parts_.ftp.AbortTransfer();
    LogOut();
    Status(TextId::AbortedByUser);
}

void UpdateSession::PauseEnded() {
    if (state_ != State::Pausing) return;
    ChangeFolder(kUpdateFolderFromInstall);
}

// ---------------------------------------------------------------- state changes

void UpdateSession::ChangeState(State to) {
    if (state_ == State::Pausing && to != State::Pausing) parts_.folderPause.SetEnabled(false);
    state_ = to;
    if (to == State::Pausing) {
        parts_.folderPause.SetInterval(kInstallPauseMs);
        parts_.folderPause.SetEnabled(true);
    }
}

void UpdateSession::Handle(const Event& event) {
    switch (state_) {
        case State::Connecting:
            WhileConnecting(event);
            break;
        case State::ChangingFolder:
            WhileChangingFolder(event);
            break;
        case State::Listing:
            WhileListing(event);
            break;
        case State::Downloading:
            WhileDownloading(event);
            break;
        case State::Idle:
        case State::Pausing:
        case State::LoggingOut:
            // Nothing the server does moves a check on that is not waiting for it.
            break;
    }
}

void UpdateSession::WhileConnecting(const Event& event) {
    if (event.kind != Event::Kind::LoggedIn) return;
    ChangeFolder(start_.installation ? kInstallFolder : kUpdateFolder);
}

void UpdateSession::WhileChangingFolder(const Event& event) {
    if (event.kind != Event::Kind::FolderChanged) return;
    ChangeState(State::Listing);
    if (!parts_.ftp.ListDirectory("", false)) {
        Status("Could not list the server folder");
        LogOut();
    }
}

void UpdateSession::WhileListing(const Event& event) {
    if (event.kind == Event::Kind::Listing) CompareListing(*event.listing);
}

void UpdateSession::WhileDownloading(const Event& event) {
    if (event.kind == Event::Kind::Block) {
        parts_.view.SetByteCounter("Bytes downloaded: " + std::to_string(event.bytes));
    } else if (event.kind == Event::Kind::TransferDone) {
        if (!queue_.empty()) queue_.erase(queue_.begin());
        StartNextDownload();
    }
}

// ---------------------------------------------------------------- steps

void UpdateSession::ChangeFolder(const std::string& folder) {
    ChangeState(State::ChangingFolder);
    if (!parts_.ftp.ChangeDirectory(folder)) {
        Status("Could not change to the server folder \"" + folder + "\"");
        LogOut();
    }
}

void UpdateSession::CompareListing(const std::string& listing) {
    // The client reports a listing only once it has all of it (a cut one is an error).
    WantedRules rules{start_.folders, start_.serviceMode};
    rules.programReplaceable = parts_.view.InstallerOfferParts().program.replaceable;
    const SyncResult result = start_.installation
                                  ? QueueInstallFiles(listing, start_.packagedFiles)
                                  : SyncWithListing(listing, ListingEnd::Complete, rules);
    for (const auto& line : result.log) Status(line);
    queue_ = result.queue;
    programNotFetched_ = result.programNotFetched;
    if (queue_.empty()) {
        LogOut();
        if (start_.installation) {
            Status(kFoundNoProgramFiles);
        } else {
            Status(TextId::FilesAreLatest);
        }
        return;
    }
    if (start_.installation) {
        Status(kFoundProgramFiles);
    } else {
        Status(TextId::FoundNewFiles);
    }
    StartNextDownload();
}

void UpdateSession::StartNextDownload() {
    while (!queue_.empty()) {
        const std::string& name = queue_.front();
        const auto target = DownloadTarget(name, start_.folders, start_.installation);
        if (target && parts_.ftp.RetrieveFile(name, *target, kReplace)) {
            ChangeState(State::Downloading);
            parts_.view.SetByteCounter("Bytes downloaded: 0");
            Status(parts_.texts[TextId::DownloadingFile] + " " + name);
            return;
        }
        // Without this the check would wait for a download that never began.
        Status("Skipped file \"" + PrintableName(name) + "\": it cannot be fetched here");
        queue_.erase(queue_.begin());
    }
    if (!notFetched_.empty()) {
        // Without all its program files the installation is not done: its step stays, and
        // Finish leads back to it.
        LogOut();
        Status(kDownloadIncomplete);
        return;
    }
    if (start_.installation) {
        start_.installation = false;
        parts_.view.InstallationFilesFetched();
        ChangeState(State::Pausing);
        return;
    }
    LogOut();
    Status(TextId::DownloadComplete);
}

void UpdateSession::SkipRefusedFile(const std::string& text) {
    const std::string line = "File \"" + PrintableName(queue_.front()) +
                             "\" could not be fetched: " + platform::TrimControls(text);
    Status(line);
    notFetched_.push_back(line);
    queue_.erase(queue_.begin());
    StartNextDownload();
}

void UpdateSession::NotConnected() {
    const bool attempting = state_ == State::Connecting;
    ChangeState(State::Idle);
    if (!attempting) return;  // a Cancel or a refused login has ended it already
    Status(TextId::CouldNotConnect);
    parts_.view.SetDownloadPageButton(parts_.texts[TextId::Finish]);
}

void UpdateSession::LogOut() {
    if (state_ != State::Idle) ChangeState(State::LoggingOut);
    // The close's own event ends the session once Logout has returned.
    parts_.ftp.Logout();
}

void UpdateSession::EndOfSession() {
    ChangeState(State::Idle);
    Status(TextId::DisconnectedFromServer);
    if (!failureBox_.empty()) sink_.Show(std::exchange(failureBox_, {}));
    if (!notFetched_.empty()) sink_.Show(NotFetchedBox(notFetched_));
    const OfferWindowParts window = parts_.view.InstallerOfferParts();
    InstallerOffer offer{
        start_.folders,
        parts_.texts,
        sink_,
        window.caption,
        window.arguments,
        window.startScript ? window.startScript : ShellScriptStarter(start_.folders.programDir),
        window.requestEnd};
    offer.program = window.program;
    offer.programNotFetched = programNotFetched_;
    OfferDriverInstall(offer);
    OfferSelfUpdate(offer);
    parts_.view.RefreshLanguage();
    parts_.view.SetDownloadPageButton(parts_.texts[TextId::Finish]);
}

void UpdateSession::Status(TextId id) { parts_.view.AddStatusLine(parts_.texts[id]); }

void UpdateSession::Status(const std::string& line) { parts_.view.AddStatusLine(line); }

// ---------------------------------------------------------------- events

void UpdateSession::LoggedIn() { Handle({Event::Kind::LoggedIn}); }

void UpdateSession::FolderChanged() { Handle({Event::Kind::FolderChanged}); }

void UpdateSession::ListingReceived(const std::string& listing) {
    Handle({Event::Kind::Listing, &listing});
}

void UpdateSession::BlockMoved(std::uint64_t transferredBytes) {
    Handle({Event::Kind::Block, nullptr, transferredBytes});
}

void UpdateSession::TransferDone() { Handle({Event::Kind::TransferDone}); }

void UpdateSession::TimedOut() {
    if (state_ == State::Idle) return;
    if (state_ == State::Connecting) {
        NotConnected();  // the client has closed the connection itself
        return;
    }
    LogOut();
    Status(TextId::CouldNotConnect);
}

void UpdateSession::LoggedOut() {
    if (state_ != State::Idle) EndOfSession();
}

void UpdateSession::Closed() { NotConnected(); }

void UpdateSession::Failed(std::int32_t code, const std::string& text) {
    if (code == zp::TZpCustomFtpClient::kConnectTimedOut) {
        NotConnected();
        return;
    }
    // The client has already dropped an aborted file and left the old one in place.
    if (code == kTransferAborted && cancelled_) return;
    if (state_ == State::Downloading && RefusesOneFile(code) && !queue_.empty()) {
        SkipRefusedFile(text);
        return;
    }
    // The first failure is the one to tell; what follows from it adds nothing.
    if (failureShown_) {
        LogOut();
        return;
    }
    failureShown_ = true;
    const bool endFollows = parts_.ftp.LoggedIn();
    LogOut();
    // After a login the end of the session shows it, before its offers, so that they
    // do not open over it; before the login no end of the session follows.
    if (endFollows && state_ != State::Idle) {
        failureBox_ = FtpErrorMessage(code, text);
    } else {
        sink_.Show(FtpErrorMessage(code, text));
    }
}

}  // namespace update
