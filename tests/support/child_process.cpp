#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

extern char** environ;

namespace testsupport {

namespace {

int OpenPidFd(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)); }

std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        vars[entry.substr(0, entry.find('='))] = entry;
    }
    for (const auto& change : changes) {
        const size_t eq = change.find('=');
        if (eq == std::string::npos) {
            vars.erase(change);
        } else {
            vars[change.substr(0, eq)] = change;
        }
    }
    std::vector<std::string> out;
    for (auto& [name, entry] : vars) out.push_back(entry);
    return out;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (auto& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& environment,
                           const std::string& workingDir) {
    std::vector<std::string> args = argv;
    std::vector<std::string> env = Environment(environment);
    int pipeFds[2];
    int inFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0 || ::pipe2(inFds, O_CLOEXEC) != 0) {
        output_ = "cannot make a pipe";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inFds[0], 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    // The child starts with the signals a shell would give it, whatever the test blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int error = ::posix_spawnp(&pid_, args[0].c_str(), &actions, &attributes,
                                     Pointers(args).data(), Pointers(env).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    ::close(inFds[0]);
    out_ = pipeFds[0];
    in_ = inFds[1];
    if (error != 0) {
        pid_ = -1;
        output_ = "cannot start " + args[0] + ": " + std::strerror(error);
        status_ = 127;
        return;
    }
    pidFd_ = OpenPidFd(pid_);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (pidFd_ >= 0) ::close(pidFd_);
    if (out_ >= 0) ::close(out_);
    CloseInput();
}

void ChildProcess::CloseInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

void ChildProcess::Signal(int sig) const {
    if (pid_ > 0 && !status_) ::kill(pid_, sig);
}

bool ChildProcess::Pump(int timeoutMs) {
    // The output while there is any, the end while it has not been seen.
    pollfd fds[2];
    nfds_t count = 0;
    if (out_ >= 0) fds[count++] = {out_, POLLIN, 0};
    if (!status_ && pidFd_ >= 0) fds[count++] = {pidFd_, POLLIN, 0};
    if (count == 0) return false;
    const int ready = ::poll(fds, count, timeoutMs);
    // An interrupted wait is no time-out: the caller looks again.
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == out_) {
            char buffer[4096];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n > 0) {
                output_.append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(out_);
                out_ = -1;
            }
        } else {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
    }
    return true;
}

void ChildProcess::Drain() {
    // What a process left behind by the program may go on writing is not the run's: the
    // read is bounded.
    constexpr size_t kMostLeftOver = 1 << 20;
    char buffer[4096];
    size_t taken = 0;
    while (out_ >= 0 && taken < kMostLeftOver) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) break;
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            ::close(out_);
            out_ = -1;
        } else {
            output_.append(buffer, static_cast<size_t>(n));
            taken += static_cast<size_t>(n);
        }
    }
}

std::optional<int> ChildProcess::Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!status_ && pid_ > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !Pump(static_cast<int>(left))) break;
    }
    // Output that is still in the pipe belongs to the run.
    if (status_) Drain();
    return status_;
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (output_.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || !Pump(static_cast<int>(left))) return false;
    }
    return true;
}

RunResult RunProcess(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, int timeoutMs) {
    ChildProcess child(argv, environment);
    const std::optional<int> status = child.Wait(timeoutMs);
    return {status.value_or(-1), child.Output()};
}

bool WaitForProcessEnd(pid_t pid, int timeoutMs) {
    const int fd = OpenPidFd(pid);
    if (fd < 0) return true;
    pollfd p{fd, POLLIN, 0};
    const bool ended = ::poll(&p, 1, timeoutMs) > 0;
    ::close(fd);
    return ended;
}

}  // namespace testsupport
