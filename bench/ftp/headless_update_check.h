#pragma once
// An update check without the window, for the benchmarks: the FTP client and the update
// session as the window has them, and a view that keeps what page 2 would show and when
// each file came in.
#include <cstdint>
#include <string>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"
#include "ftp_bench_support.h"
#include "i18n/text_table.h"
#include "message_recorder.h"
#include "platform/window_timer.h"
#include "update/update_session.h"

namespace ftpbench {

class HeadlessUpdateCheck : public update::UpdateCheckView {
  public:
    // A check of "UpdateFiles" on 127.0.0.1:`port` into `programDir` (ending in "/"), whose
    // Data/ and Language/ folders it makes.
    HeadlessUpdateCheck(std::uint16_t port, const std::string& programDir);

    // Starts the check as page 3's Next does and waits until it has ended, at most
    // `limitMs`; false when it was still running then.
    bool Run(int limitMs);

    CheckRecord record;
    std::vector<std::string> lines;      // page 2's status log
    testsupport::MessageRecorder boxes;  // what the session told the user in boxes

    void AddStatusLine(const std::string& line) override {
        arrivals_.Line(line);
        lines.push_back(line);
    }
    void SetByteCounter(const std::string&) override {}
    void SetDownloadPageButton(const std::string&) override {}
    void InstallationFilesFetched() override {}
    void RefreshLanguage() override {}
    update::OfferWindowParts InstallerOfferParts() override;

  private:
    ArrivalWatch arrivals_{record};
    std::uint16_t port_;
    update::LocalFolders folders_;
    zp::TZpFtpClient ftp_;
    i18n::TextTable texts_;
    platform::WindowTimer folderPause_;
    update::UpdateSession session_;
};

}  // namespace ftpbench
