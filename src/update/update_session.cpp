#include "update/update_session.h"

#include "platform/strings.h"
#include "update/file_rules.h"
#include "update/listing_names.h"
#include "update/listing_sync.h"
#include "update/partial_files.h"

namespace update {

using i18n::TextId;

namespace {

constexpr const char* kInstallFolder = "ProgramFiles";
constexpr const char* kUpdateFolder = "UpdateFiles";
// Reached from the installation's folder, so from the login folder whatever that is.
constexpr const char* kUpdateFolderFromInstall = "/UpdateFiles";
constexpr int kInstallPauseMs = 2000;

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

UpdateSession::UpdateSession(UpdateCheckParts parts)
    : FtpSession(parts.ftp, parts.sink), parts_(parts) {
    parts_.folderPause.OnTimer = [this] { PauseEnded(); };
}

// ---------------------------------------------------------------- operations

void UpdateSession::Start(const UpdateCheckStart& start) {
    // A registration still on its way keeps the connection, and its events, to itself.
    if (ConnectionOpen()) {
        Status("Still connected to the server; press Cancel and try again");
        return;
    }
    start_ = start;
    queue_.clear();
    programNotFetched_.clear();
    notFetched_.clear();
    cancelled_ = false;
    // An unattended check comes straight to page 2, whose button may still say "Finish".
    parts_.view.SetDownloadPageButton(parts_.texts[TextId::Cancel]);
    Open(start.server);
}

void UpdateSession::Cancel() {
    cancelled_ = true;
    Ftp().AbortTransfer();
    LogOut();
    Status(TextId::AbortedByUser);
}

void UpdateSession::PauseEnded() {
    parts_.folderPause.SetEnabled(false);
    if (CurrentPhase() != Phase::Working || work_ != Work::Pausing) return;
    ChangeFolder(kUpdateFolderFromInstall);
}

void UpdateSession::ChangeWork(Work to) {
    work_ = to;
    parts_.folderPause.SetEnabled(false);
    if (to == Work::Pausing) {
        parts_.folderPause.SetInterval(kInstallPauseMs);
        parts_.folderPause.SetEnabled(true);
    }
}

// ---------------------------------------------------------------- in the folder

std::string UpdateSession::FolderAfterLogin() const {
    return start_.installation ? kInstallFolder : kUpdateFolder;
}

void UpdateSession::InFolder() {
    ChangeWork(Work::Listing);
    if (!Ftp().ListDirectory("", false)) EndRefused("list the server folder");
}

void UpdateSession::ListingReceived(const std::string& listing) {
    if (work_ == Work::Listing) CompareListing(listing);
}

void UpdateSession::BlockMoved(std::uint64_t transferredBytes) {
    if (work_ == Work::Downloading)
        parts_.view.SetByteCounter("Bytes downloaded: " +
                                   std::to_string(Ftp().RestartOffset() + transferredBytes));
}

void UpdateSession::TransferDone() {
    if (work_ != Work::Downloading) return;
    if (!queue_.empty()) queue_.erase(queue_.begin());
    StartNextDownload();
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
    DropUnwantedPartials();
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

void UpdateSession::StartNextDownload(bool announce) {
    while (!queue_.empty()) {
        const std::string& name = queue_.front();
        const auto target = DownloadTarget(name, start_.folders, start_.installation);
        // What an earlier attempt or check fetched of the file is continued.
        if (target && Ftp().RetrieveFile(name, *target, zp::TZpCustomFtpClient::kRetrieveRestart,
                                         PartialPath(*target))) {
            ChangeWork(Work::Downloading);
            if (announce) {
                parts_.view.SetByteCounter("Bytes downloaded: " +
                                           std::to_string(Ftp().PartialBytes()));
                Status(parts_.texts[TextId::DownloadingFile] + " " + name);
            }
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
        ChangeWork(Work::Pausing);
        return;
    }
    LogOut();
    Status(TextId::DownloadComplete);
}

void UpdateSession::DropUnwantedPartials() const {
    std::vector<std::string> targets;
    for (const auto& name : queue_) {
        if (auto target = DownloadTarget(name, start_.folders, start_.installation))
            targets.push_back(std::move(*target));
    }
    const LocalFolders& f = start_.folders;
    if (start_.installation) {
        DeleteUnwantedPartials({f.programDir}, targets);
    } else {
        DeleteUnwantedPartials({f.dataDir, f.languageDir}, targets);
    }
}

void UpdateSession::SkipRefusedFile(const std::string& text) {
    const std::string line = "File \"" + PrintableName(queue_.front()) +
                             "\" could not be fetched: " + platform::TrimControls(text);
    Status(line);
    notFetched_.push_back(line);
    queue_.erase(queue_.begin());
    StartNextDownload();
}

// ---------------------------------------------------------------- endings

void UpdateSession::NotConnected() {
    parts_.folderPause.SetEnabled(false);
    Status(TextId::CouldNotConnect);
    parts_.view.SetDownloadPageButton(parts_.texts[TextId::Finish]);
}

void UpdateSession::TimedOut() { Status(TextId::CouldNotConnect); }

void UpdateSession::StepRefused(const std::string& what) { Status("Could not " + what); }

bool UpdateSession::FailureTaken(std::int32_t code, const std::string& text) {
    // The client has already dropped an aborted file and left the old one in place.
    if (code == kTransferAborted && cancelled_) return true;
    if (CurrentPhase() == Phase::Working && work_ == Work::Downloading && RefusesOneFile(code) &&
        !queue_.empty()) {
        SkipRefusedFile(text);
        return true;
    }
    return false;
}

void UpdateSession::Ended() {
    parts_.folderPause.SetEnabled(false);
    Status(TextId::DisconnectedFromServer);
    ShowHeldFailure();
    if (!notFetched_.empty()) Sink().Show(NotFetchedBox(notFetched_));
    const OfferWindowParts window = parts_.view.InstallerOfferParts();
    InstallerOffer offer{
        start_.folders,
        parts_.texts,
        Sink(),
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

bool UpdateSession::RetryWanted() const {
    return work_ == Work::Downloading && !cancelled_ && !queue_.empty();
}

void UpdateSession::RetryComing(int attempt, int budget) {
    Status("Connection lost, resuming " + PrintableName(queue_.front()) + " at " +
           std::to_string(Ftp().PartialBytes()) + " bytes (try " + std::to_string(attempt) +
           " of " + std::to_string(budget) + ")");
}

void UpdateSession::TakeUpAgain() { StartNextDownload(false); }

void UpdateSession::Status(TextId id) { parts_.view.AddStatusLine(parts_.texts[id]); }

void UpdateSession::Status(const std::string& line) { parts_.view.AddStatusLine(line); }

}  // namespace update
