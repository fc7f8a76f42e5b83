#pragma once
// What the FTP benchmarks share: clocks, the median of the runs, and files of bytes that
// do not compress.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zp {
class TZpFtpClient;
}

namespace ftpbench {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d);
// CPU time of the calling thread: the GUI thread, which runs the client.
double ThreadCpuSeconds();
double Median(std::vector<double> v);
// What a benchmark learns from one update check.
struct CheckRecord {
    Clock::time_point started;       // page 3's Next
    Clock::time_point lastFileDone;  // the last file's arrival; `started` when none came
    Clock::time_point ended;         // the check was over, or the wait for it gave up
    int filesDone = 0;
    double guiCpuSeconds = 0;  // of the GUI thread, from the start to the end
};

// The client as the window sets it up, aimed at the test server on 127.0.0.1:`port`.
void SetUpClient(zp::TZpFtpClient& ftp, std::uint16_t port);

// Reads page 2's status log as it grows for when each file came in: a file is done when
// the next one begins, or when the check says that the last one came.
class ArrivalWatch {
  public:
    explicit ArrivalWatch(CheckRecord& record) : record_(record) {}
    void Line(const std::string& line);

  private:
    CheckRecord& record_;
    bool fetching_ = false;
};

// `size` bytes of a fixed pseudo-random sequence that does not repeat.
void WriteFile(const std::filesystem::path& path, std::uint64_t size);

}  // namespace ftpbench
