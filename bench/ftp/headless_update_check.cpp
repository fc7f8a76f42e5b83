#include "headless_update_check.h"

#include <filesystem>

#include "ftp_bench_support.h"
#include "ftp_server_process.h"
#include "platform/message_wait.h"

namespace ftpbench {

HeadlessUpdateCheck::HeadlessUpdateCheck(std::uint16_t port, const std::string& programDir)
    : port_(port),
      folders_{programDir, programDir + "Data/", programDir + "Language/"},
      session_({ftp_, texts_, boxes, folderPause_, *this}) {
    std::filesystem::create_directories(folders_.dataDir);
    std::filesystem::create_directories(folders_.languageDir);
    i18n::SetDefaultTexts(texts_);
    ftp_.SetMessageSink(&boxes);
}

bool HeadlessUpdateCheck::Run(int limitMs) {
    const double cpu0 = ThreadCpuSeconds();
    record.started = record.lastFileDone = Clock::now();
    const update::ServerSettings server{"127.0.0.1", std::to_string(port_),
                                        testsupport::FtpServerProcess::kUser,
                                        testsupport::FtpServerProcess::kPassword};
    session_.Start({folders_, false, false, {}, server});
    const bool done = platform::ProcessMessagesUntil(
        [this] { return session_.CurrentPhase() == update::FtpSession::Phase::Idle; }, limitMs);
    record.ended = Clock::now();
    record.guiCpuSeconds = ThreadCpuSeconds() - cpu0;
    return done;
}

update::OfferWindowParts HeadlessUpdateCheck::InstallerOfferParts() {
    // Nothing is replaced or started: the benchmarks' servers hold no installers.
    return {"bench", {}, {}, [](const std::string&, std::string&) { return false; }, [] {}};
}

}  // namespace ftpbench
