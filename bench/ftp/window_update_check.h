#pragma once
// An update check through the window, offscreen: the program folder holds the program's
// files, so the window opens on its start page; "Check for updates" and page 3's Next are
// clicked as a user clicks them, and page 2's status log tells when each file came in.
#include <cstdint>
#include <memory>
#include <string>

#include "ftp_bench_support.h"
#include "message_recorder.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace app {
class TForm1;
}

namespace ftpbench {

class WindowUpdateCheck {
  public:
    // The window in `programDir` (ending in "/"), made with the program's files in it, and
    // the update server at 127.0.0.1:`port`.
    WindowUpdateCheck(std::uint16_t port, const std::string& programDir);
    ~WindowUpdateCheck();

    // Clicks through to the check and waits until the connection has ended, at most
    // `limitMs`; false when it was still open then.
    bool Run(int limitMs);

    CheckRecord record;
    testsupport::MessageRecorder boxes;

  private:
    ArrivalWatch arrivals_{record};
    testsupport::ScopedEnvironment server_;
    testsupport::ScopedEnvironment user_;
    std::unique_ptr<testsupport::WorkingDirectory> cwd_;
    std::unique_ptr<app::TForm1> form_;
};

}  // namespace ftpbench
