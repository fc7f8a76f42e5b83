#include "ftp_server_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace testsupport {

namespace {
// Debian's interpreter, which has python3-pyftpdlib; another python3 on the PATH may not.
constexpr const char* kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 20000;

bool WaitForExit(pid_t pid, int timeoutMs) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) != 0) return true;
    // A process descriptor turns readable when the process ends: a wait on an event.
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, timeoutMs);
        ::close(fd);
    }
    return ::waitpid(pid, &status, fd >= 0 ? WNOHANG : 0) != 0;
}

std::vector<std::string> ServerArguments(const std::string& root, const FtpServerOptions& options,
                                         const std::string& user, const std::string& password) {
    std::vector<std::string> args{kPython, ARVEX_FTP_TEST_SERVER_SCRIPT, root, user, password};
    if (options.sendBytesPerSecond > 0) {
        args.insert(args.end(), {"--send-limit", std::to_string(options.sendBytesPerSecond)});
    }
    if (!options.cutAt.empty()) {
        args.insert(args.end(), {"--cut-at", options.cutAt, "--cut-with",
                                 options.cutByClosing ? "close" : "reset"});
    }
    if (options.refuseRest != 0) {
        args.insert(args.end(), {"--refuse-rest", std::to_string(options.refuseRest)});
    }
    if (!options.transferLog.empty()) {
        args.insert(args.end(), {"--transfer-log", options.transferLog});
    }
    return args;
}

FtpServerOptions RateOnly(unsigned sendBytesPerSecond) {
    FtpServerOptions options;
    options.sendBytesPerSecond = sendBytesPerSecond;
    return options;
}

}  // namespace

std::string Pattern(std::size_t size) {
    std::string s(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

std::vector<ServedRetrieve> ReadServedRetrieves(const std::string& transferLog) {
    std::vector<ServedRetrieve> retrieves;
    std::ifstream in(transferLog);
    std::string word;
    for (ServedRetrieve r; in >> word >> r.start >> r.sent >> r.outcome;) {
        std::getline(in, r.path);
        if (!r.path.empty() && r.path.front() == ' ') r.path.erase(0, 1);
        if (word == "RETR") retrieves.push_back(r);
    }
    return retrieves;
}

FtpServerProcess::FtpServerProcess(const std::string& root, const std::string& user,
                                   const std::string& password, unsigned sendBytesPerSecond)
    : FtpServerProcess(root, RateOnly(sendBytesPerSecond), user, password) {}

FtpServerProcess::FtpServerProcess(const std::string& root, const FtpServerOptions& options,
                                   const std::string& user, const std::string& password) {
    int out[2];
    int in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
        error_ = "cannot make pipes";
        return;
    }
    std::vector<std::string> args = ServerArguments(root, options, user, password);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(kPython, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toServer_ = in[1];
    if (pid_ < 0) {
        ::close(out[0]);
        error_ = "cannot start the server";
        return;
    }
    // The server's first line says it listens: read it, bounded, instead of guessing a delay.
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char c[256];
        const ssize_t n = ::read(out[0], c, sizeof c);
        if (n <= 0) break;
        line.append(c, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    if (line.rfind("PORT ", 0) == 0) {
        port_ = static_cast<std::uint16_t>(std::atoi(line.c_str() + 5));
    }
    if (port_ == 0) {
        error_ = "the FTP test server did not start (is python3-pyftpdlib installed?)";
        Stop();
    }
}

FtpServerProcess::~FtpServerProcess() { Stop(); }

void FtpServerProcess::Stop() {
    if (toServer_ >= 0) {
        ::close(toServer_);
        toServer_ = -1;
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (!WaitForExit(pid_, 3000)) {
            ::kill(pid_, SIGKILL);
            WaitForExit(pid_, 3000);
        }
        pid_ = -1;
    }
    port_ = 0;
}

}  // namespace testsupport
