// Throughput and listing time of the FTP client against pyftpdlib on loopback, beside curl
// fetching the same things in the same run.
//
//   bench_ftp [runs (5)] [file MiB (256)]
//
// RETR: one whole session per run (connect, login, passive RETR into a local file, QUIT),
// the component and then curl, median of the runs; curl's time is its own time_total, so
// its process start-up is left out. NLST: the same for a folder of 1,000 names. GUI
// thread: the CPU time of the thread that runs the component, as a share of the wall time
// of its RETR.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "comm/ftp/zp_ftp_client.h"
#include "ftp_bench_support.h"
#include "ftp_server_process.h"
#include "platform/message_wait.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using ftpbench::Clock;
using ftpbench::Median;
using ftpbench::Seconds;
using ftpbench::ThreadCpuSeconds;

struct Run {
    double seconds = 0;
    double guiCpuSeconds = 0;
    std::uint64_t bytes = 0;
    bool ok = false;
};

// One session of the component: login, one listing or retrieve, logout.
Run ComponentSession(std::uint16_t port, const std::string& remote, const std::string& local,
                     bool listing) {
    zp::TZpFtpClient ftp;
    ftpbench::SetUpClient(ftp, port);
    Run run;
    bool done = false;
    ftp.SetOnFtpStatus(
        [&](zp::TZpCustomFtpClient& c, zp::TFtpStatusCode code, const std::string& info) {
            if (code == zp::scLogin) {
                if (listing ? !c.ListDirectory(remote, false) : !c.RetrieveFile(remote, local, 1)) {
                    done = true;
                }
            } else if (code == zp::scDataAvail || code == zp::scTransferOK) {
                run.ok = true;
                run.bytes = code == zp::scDataAvail ? info.size() : c.TransferredBytes();
                c.Logout();
            } else if (code == zp::scLogout || code == zp::scClose || code == zp::scTimeout) {
                done = true;
            }
        });
    ftp.SetOnFtpError([&](zp::TZpCustomFtpClient& c, std::int32_t code, const std::string& text) {
        std::fprintf(stderr, "error %d %s\n", code, text.c_str());
        c.Logout();
        done = true;
    });
    const double cpu0 = ThreadCpuSeconds();
    const auto t0 = Clock::now();
    ftp.Login();
    platform::ProcessMessagesUntil([&] { return done; });
    run.seconds = Seconds(Clock::now() - t0);
    run.guiCpuSeconds = ThreadCpuSeconds() - cpu0;
    return run;
}

// curl's own measure of the session (--write-out time_total), so that starting its
// process does not count against it.
Run CurlSession(std::vector<std::string> args) {
    args.insert(args.begin() + 1, {"--write-out", "%{time_total}"});
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Run run;
    int out[2];
    if (::pipe(out) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "curl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string text;
    char chunk[256];
    for (ssize_t n; spawned == 0 && (n = ::read(out[0], chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (spawned != 0) return run;
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.seconds = std::atof(text.c_str());
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.seconds > 0;
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::uint64_t mib = argc > 2 ? std::max(1, std::atoi(argv[2])) : 256;
    const std::uint64_t size = mib * 1024 * 1024;

    char tmpl[] = "/tmp/arvex-bench-ftp-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) return 1;
    const fs::path work = tmpl;
    fs::create_directories(work / "root/UpdateFiles/names");
    fs::create_directories(work / "local");
    ftpbench::WriteFile(work / "root/UpdateFiles/big.bin", size);
    for (int i = 0; i < 1000; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "package_%04d.vbf", i);
        std::ofstream(work / "root/UpdateFiles/names" / name);
    }
    testsupport::FtpServerProcess server((work / "root").string());
    if (!server.Running()) {
        std::fprintf(stderr, "%s\n", server.Error().c_str());
        return 1;
    }
    const std::string base = "ftp://" + std::string(testsupport::FtpServerProcess::kUser) + ":" +
                             testsupport::FtpServerProcess::kPassword +
                             "@127.0.0.1:" + std::to_string(server.Port()) + "/UpdateFiles/";
    const std::string localFile = (work / "local/big.bin").string();
    const std::string curlFile = (work / "local/big.curl").string();

    std::vector<double> ours, theirs, oursList, theirsList, guiShare;
    bool ok = true;
    for (int r = 0; r < runs; ++r) {
        // Neither side pays for freeing an old copy's pages: both write a new file.
        fs::remove(localFile);
        fs::remove(curlFile);
        const Run a = ComponentSession(server.Port(), "UpdateFiles/big.bin", localFile, false);
        const Run b = CurlSession({"curl", "-s", "-o", curlFile, base + "big.bin"});
        const Run c = ComponentSession(server.Port(), "UpdateFiles/names", "", true);
        const Run d = CurlSession({"curl", "-s", "-l", "-o", "/dev/null", base + "names/"});
        ok = ok && a.ok && b.ok && c.ok && d.ok && a.bytes == size &&
             fs::file_size(curlFile) == size;
        ours.push_back(static_cast<double>(size) / a.seconds / 1e6);
        theirs.push_back(static_cast<double>(size) / b.seconds / 1e6);
        oursList.push_back(c.seconds * 1e3);
        theirsList.push_back(d.seconds * 1e3);
        guiShare.push_back(100.0 * a.guiCpuSeconds / a.seconds);
        std::printf(
            "run %d: RETR %.0f MB/s (curl %.0f MB/s), NLST %.1f ms (curl %.1f ms), "
            "GUI thread %.0f %% busy\n",
            r + 1, ours.back(), theirs.back(), oursList.back(), theirsList.back(), guiShare.back());
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    if (!ok) {
        std::fprintf(stderr, "a transfer failed or came out the wrong size\n");
        return 1;
    }
    const double retr = Median(ours), retrCurl = Median(theirs);
    const double nlst = Median(oursList), nlstCurl = Median(theirsList);
    std::printf("\nmedian of %d runs, %llu MiB file, 1000 names:\n", runs,
                static_cast<unsigned long long>(mib));
    std::printf(
        "RETR  component %7.0f MB/s   curl %7.0f MB/s   throughput ratio %.2f (>= 1 wanted)\n",
        retr, retrCurl, retr / retrCurl);
    std::printf("NLST  component %7.1f ms     curl %7.1f ms     time ratio %.2f (<= 1 wanted)\n",
                nlst, nlstCurl, nlst / nlstCurl);
    std::printf("GUI thread CPU during the component's RETR: %.0f %% of its wall time\n",
                Median(guiShare));
    return 0;
}
