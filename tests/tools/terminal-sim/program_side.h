#pragma once
// The program's end of a simulated line for the simulator's tests: the port opened and
// locked as the program opens it, written and read with plain system calls.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "sent_frames.h"

namespace simtest {

class ProgramSide {
  public:
    explicit ProgramSide(const std::string& port);
    ~ProgramSide();
    ProgramSide(const ProgramSide&) = delete;
    ProgramSide& operator=(const ProgramSide&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int OpenError() const { return openError_; }
    void Write(const Bytes& bytes);
    // `count` bytes, or what arrived before the time was up.
    Bytes Read(std::size_t count, int timeoutMs = 5000);
    // Writes a frame and reads a reply of `replyLength` bytes.
    Bytes Exchange(const Bytes& frame, std::size_t replyLength);
    // True when the line hangs up (the device went away) within the time.
    bool WaitForHangUp(int timeoutMs = 5000);
    void Close();

  private:
    int fd_ = -1;
    int openError_ = 0;
};

// What a test waits for while the simulator works on its own thread: the simulator calls
// Notify (its onActivity), the test waits for its condition.
class Activity {
  public:
    std::function<void()> Callback() {
        return [this] {
            std::lock_guard<std::mutex> g(lock_);
            changed_.notify_all();
        };
    }
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);

  private:
    std::mutex lock_;
    std::condition_variable changed_;
};

}  // namespace simtest
