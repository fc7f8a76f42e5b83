#pragma once
// A timer of the window, ticking on the GUI thread: an Interval in milliseconds, an Enabled
// switch and an OnTimer handler. It repeats until it is disabled. Changing Interval while
// enabled starts the count anew.
#include <functional>
#include <memory>

class QTimer;

namespace platform {

class WindowTimer {
public:
    WindowTimer();
    ~WindowTimer();
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    int Interval() const { return interval_; }
    void SetInterval(int ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);

    // Runs the handler as a tick would; tests drive long timer sequences with it.
    void Tick();

    std::function<void()> OnTimer;

private:
    void Restart();

    std::unique_ptr<QTimer> timer_;
    int interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace platform
