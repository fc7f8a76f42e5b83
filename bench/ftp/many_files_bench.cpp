// Many small files through the update check, beside lftp mirroring the same folder from the
// same pyftpdlib server on loopback in the same run.
//
//   bench_ftp_many_files [runs (3)] [files (1000)] [bytes each (700)]
//
// The update check runs twice per run, each into an empty program folder, timed from page
// 3's Next to the last file's arrival: through the window (offscreen unless
// QT_QPA_PLATFORM says otherwise), as the user meets it, and without the window
// (HeadlessUpdateCheck), which leaves the client and the session alone. lftp is timed as a
// whole process, start-up included; its sequential mirror is the reference, its mirror with
// 4 connections is shown for information. Median of the runs.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "ftp_bench_support.h"
#include "ftp_server_process.h"
#include "headless_update_check.h"
#include "temp_folder.h"
#include "window_update_check.h"

namespace fs = std::filesystem;
using namespace ftpbench;

namespace {

constexpr int kLimitMs = 600000;

// How many files of `size` bytes the folder holds.
int FilesOfSize(const fs::path& folder, std::uint64_t size) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.is_regular_file() && e.file_size() == size) ++n;
    }
    return n;
}

// Seconds for lftp to mirror "UpdateFiles" into `target`; a negative number when it failed.
double LftpMirror(std::uint16_t port, const fs::path& target, int parallel) {
    const std::string mirror =
        parallel > 1 ? "mirror --parallel=" + std::to_string(parallel) : "mirror";
    const std::string script =
        "set cmd:fail-exit yes; set ftp:ssl-allow no; set net:max-retries 1; "
        "open -u " +
        std::string(testsupport::FtpServerProcess::kUser) + "," +
        testsupport::FtpServerProcess::kPassword + " -p " + std::to_string(port) +
        " ftp://127.0.0.1; " + mirror + " UpdateFiles " + target.string();
    const auto t0 = Clock::now();
    const testsupport::RunResult r = testsupport::RunProcess({"lftp", "-c", script}, {}, kLimitMs);
    const double s = Seconds(Clock::now() - t0);
    if (r.status != 0) {
        std::fprintf(stderr, "lftp failed (%d): %s\n", r.status, r.output.c_str());
        return -1;
    }
    return s;
}

// Seconds from the start to the last file; a negative number when not every file came.
template <typename Check>
double TimedCheck(std::uint16_t port, const std::string& programDir, int files, std::uint64_t bytes,
                  double& guiCpu) {
    Check check(port, programDir);
    const bool ended = check.Run(kLimitMs);
    const int fetched = FilesOfSize(programDir + "Data", bytes);
    if (!ended || fetched != files) {
        std::fprintf(stderr, "the update check fetched %d of %d files%s\n", fetched, files,
                     ended ? "" : " and did not end");
        return -1;
    }
    guiCpu = check.record.guiCpuSeconds;
    return Seconds(check.record.lastFileDone - check.record.started);
}

}  // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const std::uint64_t bytes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 700;

    testsupport::TempFolder work;
    const fs::path updateFiles = fs::path(work.Path()) / "root/UpdateFiles";
    fs::create_directories(updateFiles);
    for (int i = 0; i < files; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "Package%04d.vbf", i);
        WriteFile(updateFiles / name, bytes);
    }
    testsupport::FtpServerProcess server(work.Path() + "root");
    if (!server.Running()) {
        std::fprintf(stderr, "%s\n", server.Error().c_str());
        return 1;
    }

    std::vector<double> window, headless, sequential, parallel, windowCpu, headlessCpu;
    for (int r = 0; r < runs; ++r) {
        const std::string run = work.Path() + "run" + std::to_string(r) + "/";
        double cpuW = 0, cpuH = 0;
        window.push_back(
            TimedCheck<WindowUpdateCheck>(server.Port(), run + "window/", files, bytes, cpuW));
        headless.push_back(
            TimedCheck<HeadlessUpdateCheck>(server.Port(), run + "headless/", files, bytes, cpuH));
        sequential.push_back(LftpMirror(server.Port(), run + "lftp", 1));
        parallel.push_back(LftpMirror(server.Port(), run + "lftp4", 4));
        if (window.back() < 0 || headless.back() < 0) return 1;
        if (sequential.back() < 0 || parallel.back() < 0 ||
            FilesOfSize(run + "lftp", bytes) != files ||
            FilesOfSize(run + "lftp4", bytes) != files) {
            std::fprintf(stderr, "lftp did not fetch every file\n");
            return 1;
        }
        windowCpu.push_back(cpuW);
        headlessCpu.push_back(cpuH);
        std::printf(
            "run %d: update check %.2f s in the window, %.2f s without it; lftp mirror %.2f s, "
            "with 4 connections %.2f s\n",
            r + 1, window.back(), headless.back(), sequential.back(), parallel.back());
        std::fflush(stdout);
        fs::remove_all(run);
    }
    const double w = Median(window), h = Median(headless), s = Median(sequential);
    std::printf("\nmedian of %d runs, %d files of %llu bytes, from Next to the last file:\n", runs,
                files, static_cast<unsigned long long>(bytes));
    std::printf(
        "update check in the window      %7.2f s   %.1f x lftp (<= 2 wanted), "
        "GUI thread %.2f s CPU\n",
        w, w / s, Median(windowCpu));
    std::printf("update check without the window %7.2f s   %.1f x lftp, GUI thread %.2f s CPU\n", h,
                h / s, Median(headlessCpu));
    std::printf("lftp mirror                     %7.2f s\n", s);
    std::printf("lftp mirror --parallel=4        %7.2f s   (for information)\n", Median(parallel));
    return 0;
}
