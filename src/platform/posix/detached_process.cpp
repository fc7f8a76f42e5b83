#include "platform/detached_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <initializer_list>

namespace platform {

namespace {

// What the grandchild reports through the pipe when it cannot start the program.
struct StartFailure {
    int step;  // 0: working folder, 1: execution, 2: fork
    int error;
};

// Only async-signal-safe calls from here on: the parent may run other threads.
[[noreturn]] void RunGrandchild(const char* program, char* const* argv, const char* dir,
                                int reportFd, int maxFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
        sigaction(sig, &dfl, nullptr);

    // The report pipe moves above the standard descriptors before they are replaced.
    const int report = fcntl(reportFd, F_DUPFD_CLOEXEC, 3);
    if (report < 0) _exit(127);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
    }
    // Everything else this program holds stays with it.
    if (report > 3 && close_range(3, static_cast<unsigned>(report) - 1, 0) != 0) {
        for (int fd = 3; fd < report; ++fd) close(fd);
    }
    if (close_range(static_cast<unsigned>(report) + 1, UINT_MAX, 0) != 0) {
        for (int fd = report + 1; fd < maxFd; ++fd) close(fd);
    }

    StartFailure failure{0, 0};
    if (chdir(dir) == 0) {
        execv(program, argv);
        failure.step = 1;
    }
    failure.error = errno;
    (void)!write(report, &failure, sizeof failure);
    _exit(127);
}

std::string Describe(const StartFailure& f, const std::string& program, const std::string& dir) {
    const char* what = f.step == 0   ? "cannot enter the folder "
                       : f.step == 1 ? "cannot run "
                                     : "cannot fork for ";
    const std::string& subject = f.step == 0 ? dir : program;
    return std::string(what) + subject + ": " + std::strerror(f.error);
}

}  // namespace

bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDir, std::string* error) {
    // Everything the children need is built before the fork.
    std::vector<std::string> args;
    args.reserve(arguments.size() + 1);
    args.push_back(program);
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const long openMax = sysconf(_SC_OPEN_MAX);
    const int maxFd = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        if (error) *error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        return false;
    }

    const pid_t child = fork();
    if (child == 0) {
        // The middle process only makes the new session and leaves at once, so that the
        // program becomes nobody's child here and never lingers as a zombie.
        close(pipeFds[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0)
            RunGrandchild(program.c_str(), argv.data(), workingDir.c_str(), pipeFds[1], maxFd);
        if (grandchild < 0) {
            StartFailure failure{2, errno};
            (void)!write(pipeFds[1], &failure, sizeof failure);
        }
        _exit(0);
    }
    close(pipeFds[1]);
    if (child < 0) {
        const int e = errno;
        close(pipeFds[0]);
        if (error) *error = Describe({2, e}, program, workingDir);
        return false;
    }
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }

    // The pipe closes without a word when the program has been executed.
    StartFailure failure{};
    ssize_t got;
    do {
        got = read(pipeFds[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(pipeFds[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        if (error) *error = Describe(failure, program, workingDir);
        return false;
    }
    return true;
}

}  // namespace platform
