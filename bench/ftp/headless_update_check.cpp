#include "headless_update_check.h"

#include <filesystem>

#include "ftp_bench_support.h"
#include "platform/message_wait.h"

namespace ftpbench {

HeadlessUpdateCheck::HeadlessUpdateCheck(std::uint16_t port, const std::string& programDir)
    : folders_{programDir, programDir + "Data/", programDir + "Language/"},
      session_({ftp_, texts_, boxes, folderPause_, *this}) {
    std::filesystem::create_directories(folders_.dataDir);
    std::filesystem::create_directories(folders_.languageDir);
    i18n::SetDefaultTexts(texts_);
    ftp_.SetMessageSink(&boxes);
    SetUpClient(ftp_, port);
    ftp_.SetOnFtpStatus([this](zp::TZpCustomFtpClient&, zp::TFtpStatusCode code,
                               const std::string& info) { OnStatus(code, info); });
    ftp_.SetOnFtpError([this](zp::TZpCustomFtpClient&, std::int32_t code, const std::string& text) {
        session_.Failed(code, text);
    });
    folderPause_.OnTimer = [this] {
        folderPause_.SetEnabled(false);
        session_.PauseEnded();
    };
}

bool HeadlessUpdateCheck::Run(int limitMs) {
    const double cpu0 = ThreadCpuSeconds();
    record.started = record.lastFileDone = Clock::now();
    session_.Start({folders_, false, false});
    const bool done = platform::ProcessMessagesUntil(
        [this] { return session_.CurrentState() == update::UpdateSession::State::Idle; }, limitMs);
    record.ended = Clock::now();
    record.guiCpuSeconds = ThreadCpuSeconds() - cpu0;
    return done;
}

update::OfferWindowParts HeadlessUpdateCheck::InstallerOfferParts() {
    // Nothing is replaced or started: the benchmarks' servers hold no installers.
    return {"bench", {}, {}, [](const std::string&, std::string&) { return false; }, [] {}};
}

// What TForm1::FTPclientFtpStatus does, without the box for an unexpected status.
void HeadlessUpdateCheck::OnStatus(zp::TFtpStatusCode code, const std::string& info) {
    switch (code) {
        case zp::scOpen:
        case zp::scCurrentDir:
            break;
        case zp::scClose:
            session_.Closed();
            break;
        case zp::scLogin:
            session_.LoggedIn();
            break;
        case zp::scComplete:
            session_.FolderChanged();
            break;
        case zp::scDataAvail:
            session_.ListingReceived(info);
            break;
        case zp::scProgress:
            session_.BlockMoved(ftp_.TransferredBytes());
            break;
        case zp::scTransferOK:
            record.lastFileDone = Clock::now();
            ++record.filesDone;
            session_.TransferDone();
            break;
        case zp::scTimeout:
            session_.TimedOut();
            break;
        case zp::scLogout:
            session_.LoggedOut();
            break;
    }
}

}  // namespace ftpbench
