// A large package over a slow link that drops: the update check beside curl resuming on the
// same cuts. The server paces what it sends and cuts the data connection of the retrieves
// at 30 %, 60 % and 90 % of the file, one cut per retrieve, answering 426. Pacing in the
// server needs no privileges and no network namespace, and every try meets the same cuts
// whoever the client is.
//
//   bench_ftp_resume [rate KiB/s (4096)] [file MiB (20)] [cuts (30%,60%,90%)] [reset|close]
//
// A cut resets the data connection, as a link that drops shows; "close" closes it in order
// instead, so that only the 426 tells the client that the file is not whole.
//
// Moved: the bytes the server sent over all tries, divided by the file's size. Wall: from
// the start (page 3's Next for the update check, which runs without the window) until the
// file is complete, or until the check ended when it failed; against the time the file's
// bytes take at the rate plus the pauses between tries (2, 5 and 10 s).
//
// The FTP client alone shows what a caller that retries gets from its restart mode: after
// each transient failure the same pause, then the retrieve again, continuing the partial
// file (after a new login when the connection went).
//
// curl 7.88's --retry throws away what a try fetched and starts again from where the
// command began, with -C - too: curl resumes only when it is run again. So the reference is
// curl -C - run until it succeeds, at most four times, with the same pauses between runs;
// curl -C - --retry 3 --retry-all-errors in one run is shown for information.
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "comm/ftp/zp_ftp_client.h"
#include "ftp_bench_support.h"
#include "ftp_server_process.h"
#include "headless_update_check.h"
#include "platform/message_wait.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using namespace ftpbench;

namespace {

constexpr const char* kPackage = "Package.vbf";
// The pauses before the second, third and fourth try.
constexpr double kPausesS[] = {2, 5, 10};
constexpr int kTries = 1 + static_cast<int>(std::size(kPausesS));

struct Outcome {
    int tries = 0;
    std::uint64_t moved = 0;  // bytes the server sent
    double wall = 0;
    bool exact = false;            // the fetched file is the server's, byte for byte
    std::string note;              // why it failed
    std::vector<std::string> log;  // the update check's status log
    std::string leftBehind;        // what a failed update check left under the final name
};

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double PausesBefore(int tries) {
    double s = 0;
    for (int i = 0; i + 1 < tries && i < static_cast<int>(std::size(kPausesS)); ++i) {
        s += kPausesS[i];
    }
    return s;
}

// The server for one contender: paced, cutting, with a fresh transfer log.
class Server {
  public:
    Server(const testsupport::TempFolder& work, unsigned rate, const std::string& cuts,
           bool cutByClosing)
        : log_(work.Path() + "transfers.log") {
        fs::remove(log_);
        testsupport::FtpServerOptions options;
        options.sendBytesPerSecond = rate;
        options.cutAt = cuts;
        options.cutByClosing = cutByClosing;
        options.transferLog = log_;
        process_ = std::make_unique<testsupport::FtpServerProcess>(work.Path() + "root", options);
        if (!process_->Running()) {
            std::fprintf(stderr, "%s\n", process_->Error().c_str());
            std::exit(1);
        }
    }
    std::uint16_t Port() const { return process_->Port(); }
    std::string Url() const {
        return "ftp://" + std::string(testsupport::FtpServerProcess::kUser) + ":" +
               testsupport::FtpServerProcess::kPassword + "@127.0.0.1:" + std::to_string(Port()) +
               "/UpdateFiles/" + kPackage;
    }
    // Tries and bytes sent so far, from the transfer log.
    void Count(Outcome& o) const {
        o.tries = 0;
        o.moved = 0;
        for (const auto& r : testsupport::ReadServedRetrieves(log_)) {
            ++o.tries;
            o.moved += r.sent;
        }
    }

  private:
    std::string log_;
    std::unique_ptr<testsupport::FtpServerProcess> process_;
};

Outcome UpdateCheck(const Server& server, const testsupport::TempFolder& work,
                    const std::string& original, int limitMs) {
    const std::string program = work.Path() + "program/";
    fs::remove_all(program);
    HeadlessUpdateCheck check(server.Port(), program);
    const bool ended = check.Run(limitMs);
    Outcome o;
    server.Count(o);
    o.exact = Contents(program + "Data/" + kPackage) == original;
    const CheckRecord& t = check.record;
    o.wall = Seconds((o.exact ? t.lastFileDone : t.ended) - t.started);
    o.log = check.lines;
    const fs::path target = program + "Data/" + kPackage;
    if (!o.exact && fs::exists(target)) {
        o.leftBehind = std::to_string(fs::file_size(target)) + " bytes under " + kPackage;
    }
    if (!ended) {
        o.note = "still running";
    } else if (!check.boxes.boxes.empty()) {
        o.note = check.boxes.boxes.back().text;
    } else if (!check.lines.empty()) {
        o.note = check.lines.back();
    }
    return o;
}

// The client's restart mode, tried again after each transient failure with the pauses.
Outcome ClientRestarts(const Server& server, const testsupport::TempFolder& work,
                       const std::string& original, int limitMs) {
    const std::string folder = work.Path() + "client/";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string target = folder + kPackage;
    const std::string partial = folder + kPackage + ".resume";
    zp::TZpFtpClient ftp;
    SetUpClient(ftp, server.Port());
    Outcome o;
    int failures = 0;
    bool waiting = false;  // for the pause before the next try
    bool ended = false;
    auto retrieve = [&] {
        if (!ftp.RetrieveFile(std::string("UpdateFiles/") + kPackage, target, ftp.kRetrieveRestart,
                              partial)) {
            o.note = "the retrieve did not start";
            ended = true;
        }
    };
    // One try after each failure; a failure may come as an error and a close.
    auto tryAgain = [&](const std::string& why) {
        if (waiting || ended) return;
        if (++failures >= kTries) {
            o.note = why;
            ended = true;
            return;
        }
        waiting = true;
        QTimer::singleShot(static_cast<int>(1000 * kPausesS[failures - 1]), [&] {
            waiting = false;
            if (ftp.ProcessState() == zp::fsIdle) {
                retrieve();
            } else if (!ftp.IsActive()) {
                ftp.Login();
            }
        });
    };
    ftp.SetOnFtpStatus([&](zp::TZpCustomFtpClient&, zp::TFtpStatusCode code, const std::string&) {
        if (code == zp::scLogin) retrieve();
        if (code == zp::scTransferOK) ended = true;
        if (code == zp::scTimeout) tryAgain("timed out");
        if (code == zp::scClose) tryAgain("no connection");
    });
    ftp.SetOnFtpError([&](zp::TZpCustomFtpClient& c, std::int32_t, const std::string& text) {
        if (c.LastFailure() == zp::TFtpFailureKind::Transient) {
            tryAgain(text);
        } else {
            o.note = text;
            ended = true;
        }
    });
    const auto t0 = Clock::now();
    ftp.Login();
    platform::ProcessMessagesUntil([&] { return ended; }, limitMs);
    o.wall = Seconds(Clock::now() - t0);
    server.Count(o);
    o.exact = Contents(target) == original;
    if (!o.exact && o.note.empty()) o.note = ended ? "the file differs" : "still running";
    ftp.Logout();
    return o;
}

// curl -C - into a new file: run again after each failure, with the pauses between
// (`runAgain`), or run once with its own --retry.
Outcome Curl(const Server& server, const std::string& file, const std::string& original,
             bool runAgain) {
    fs::remove(file);
    std::vector<std::string> args{"curl", "-s", "-S", "-C", "-", "-o", file, server.Url()};
    if (!runAgain) {
        args.insert(args.begin() + 5,
                    {"--retry", std::to_string(kTries - 1), "--retry-all-errors"});
    }
    const auto t0 = Clock::now();
    testsupport::RunResult r;
    for (int i = 0; i < (runAgain ? kTries : 1) && r.status != 0; ++i) {
        if (i > 0) {
            std::this_thread::sleep_for(std::chrono::duration<double>(kPausesS[i - 1]));
        }
        r = testsupport::RunProcess(args, {}, 600000);
    }
    Outcome o;
    o.wall = Seconds(Clock::now() - t0);
    server.Count(o);
    o.exact = r.status == 0 && Contents(file) == original;
    if (!o.exact) o.note = r.output;
    return o;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    const size_t nl = s.rfind('\n');
    return nl == std::string::npos ? s : s.substr(nl + 1);
}

void Row(const char* name, const Outcome& o, std::uint64_t size, double rateSeconds,
         bool againstPauses) {
    const double ideal = rateSeconds + PausesBefore(o.tries);
    std::printf("%-44s %5d %8.2f %9.2f s", name, o.tries, static_cast<double>(o.moved) / size,
                o.wall);
    if (o.exact && againstPauses) {
        std::printf(" %9.2f s %7.2f   byte-exact\n", ideal, o.wall / ideal);
    } else if (o.exact) {
        std::printf("         -       -   byte-exact\n");
    } else {
        std::printf("         -       -   failed: %s\n", Trimmed(o.note).c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const unsigned kibPerSecond = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4096;
    const std::uint64_t mib = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    const std::string cuts = argc > 3 ? argv[3] : "30%,60%,90%";
    const bool cutByClosing = argc > 4 && std::string(argv[4]) == "close";
    const unsigned rate = kibPerSecond * 1024;
    const std::uint64_t size = mib * 1024 * 1024;
    const double rateSeconds = static_cast<double>(size) / rate;
    const int limitMs = static_cast<int>(1000 * (4 * rateSeconds + PausesBefore(kTries))) + 60000;

    testsupport::TempFolder work;
    const fs::path package = fs::path(work.Path()) / "root/UpdateFiles" / kPackage;
    fs::create_directories(package.parent_path());
    WriteFile(package, size);
    const std::string original = Contents(package);

    std::printf(
        "%llu MiB paced at %u KiB/s (%.2f s), the data connection %s at %s;\n"
        "pauses before the 2nd, 3rd and 4th try: 2, 5, 10 s\n\n",
        static_cast<unsigned long long>(mib), kibPerSecond, rateSeconds,
        cutByClosing ? "closed" : "reset", cuts.c_str());
    std::printf("%-44s %5s %8s %11s %11s %7s   %s\n", "", "tries", "moved", "wall", "rate+pauses",
                "ratio", "result");
    std::fflush(stdout);

    Outcome ours, client, loop, retry;
    {
        Server server(work, rate, cuts, cutByClosing);
        ours = UpdateCheck(server, work, original, limitMs);
    }
    Row("update check", ours, size, rateSeconds, true);
    std::fflush(stdout);
    {
        Server server(work, rate, cuts, cutByClosing);
        client = ClientRestarts(server, work, original, limitMs);
    }
    Row("FTP client, restart mode, tried again", client, size, rateSeconds, true);
    std::fflush(stdout);
    {
        Server server(work, rate, cuts, cutByClosing);
        loop = Curl(server, work.Path() + "curl-loop.vbf", original, true);
    }
    Row("curl -C -, run again after a failure", loop, size, rateSeconds, true);
    std::fflush(stdout);
    {
        Server server(work, rate, cuts, cutByClosing);
        retry = Curl(server, work.Path() + "curl-retry.vbf", original, false);
    }
    Row("curl -C - --retry 3 --retry-all-errors", retry, size, rateSeconds, false);

    if (!ours.exact) {
        std::printf("\nthe update check's status log:\n");
        for (const auto& line : ours.log) std::printf("  %s\n", line.c_str());
        if (!ours.leftBehind.empty()) std::printf("it left %s\n", ours.leftBehind.c_str());
    }
    std::printf(
        "\ngoal for the update check: moved <= 1.05, wall <= 1.10 x (rate's time + pauses),\n"
        "and no slower than curl run again: ");
    if (ours.exact && loop.exact) {
        std::printf("%.2f x curl's wall time\n", ours.wall / loop.wall);
    } else {
        std::printf("%s\n", ours.exact ? "curl failed" : "the update check failed");
    }
    return 0;
}
