#include "platform/window_timer.h"

#include <QTimer>

namespace platform {

WindowTimer::WindowTimer() : timer_(std::make_unique<QTimer>()) {
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Tick(); });
}

WindowTimer::~WindowTimer() = default;

void WindowTimer::SetInterval(int ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Restart();
}

void WindowTimer::SetEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    Restart();
}

void WindowTimer::Tick() {
    if (OnTimer) OnTimer();
}

void WindowTimer::Restart() {
    timer_->stop();
    // An interval of 0 or less never ticks, as a window timer with no period does not.
    if (enabled_ && interval_ > 0) timer_->start(interval_);
}

}  // namespace platform
