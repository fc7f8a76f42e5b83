#include "ftp_bench_support.h"

#include <time.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "comm/ftp/zp_ftp_client.h"
#include "ftp_server_process.h"

namespace ftpbench {

namespace {
// The window's settings of its client.
constexpr std::int32_t kConnectTimeoutTicks = 100;
constexpr std::int32_t kTransferTimeoutTicks = 1092;
}  // namespace

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void ArrivalWatch::Line(const std::string& line) {
    // A retry goes on with the same file.
    if (line.rfind("Connection lost, resuming ", 0) == 0) return;
    const bool next = line.rfind("Downloading file: ", 0) == 0;
    if (fetching_ && (next || line == "Download complete!")) {
        record_.lastFileDone = Clock::now();
        ++record_.filesDone;
    }
    fetching_ = next;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void SetUpClient(zp::TZpFtpClient& ftp, std::uint16_t port) {
    ftp.SetServerAddress("127.0.0.1");
    ftp.SetWsPort(std::to_string(port));
    ftp.SetUserName(testsupport::FtpServerProcess::kUser);
    ftp.SetPassword(testsupport::FtpServerProcess::kPassword);
    ftp.SetPassiveMode(true);
    ftp.SetFileType(zp::ftBinary);
    ftp.SetConnectTimeout(kConnectTimeoutTicks);
    ftp.SetTransferTimeout(kTransferTimeoutTicks);
}

void WriteFile(const std::filesystem::path& path, std::uint64_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> block(std::min<std::uint64_t>(size, 1 << 20));
    std::uint32_t x = 2463534242u;
    for (std::uint64_t left = size; left > 0;) {
        // Never repeating: a resume at a wrong offset shows as different bytes.
        for (char& c : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = static_cast<char>(x);
        }
        const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, block.size()));
        out.write(block.data(), n);
        left -= static_cast<std::uint64_t>(n);
    }
}

}  // namespace ftpbench
