#pragma once
// Another program run by a test: started with its own environment and working folder, a
// pipe from the test on its standard input, its standard output and error read into one text,
// waited for by events (its end, its output) with a bound, and killed when the object goes.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
  public:
    // In `environment`, "NAME=value" sets a variable and "NAME" alone removes it; the rest
    // is the test's own. An empty `workingDir` is the test's.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& environment = {},
                          const std::string& workingDir = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return pid_; }
    // The exit status (128 + the signal when a signal ended it), once the process has ended
    // within `timeoutMs`; nothing while it runs.
    std::optional<int> Wait(int timeoutMs);
    // Whether `text` appeared in the output within `timeoutMs`.
    bool WaitForOutput(const std::string& text, int timeoutMs);
    const std::string& Output() const { return output_; }
    void Signal(int sig) const;
    // Closes the pipe on the program's standard input: it reads an end of file.
    void CloseInput();

  private:
    // Reads what is there and waits at most `timeoutMs` for more or for the end; false when
    // nothing happened in that time.
    bool Pump(int timeoutMs);
    // Reads what the pipe holds now, without waiting.
    void Drain();

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::optional<int> status_;
    std::string output_;
};

struct RunResult {
    int status = -1;  // -1: still running after the time-out (then killed)
    std::string output;
};

// Runs the program to its end, at most `timeoutMs`.
RunResult RunProcess(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment = {}, int timeoutMs = 60000);

// Waits at most `timeoutMs` for a process that is not the test's child to end; true when it
// has (or never was).
bool WaitForProcessEnd(pid_t pid, int timeoutMs);

}  // namespace testsupport
