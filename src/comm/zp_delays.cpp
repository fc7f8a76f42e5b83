#include "comm/zp_delays.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <algorithm>

#include "comm/zp_base_dispatcher.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace zp {

namespace {

// Notices the application being told to quit while a delay waits inside a handler. The
// quit request still reaches the application: the watcher only looks, and the main loop,
// already told to leave, ends once the handler that waited has returned.
class QuitWatcher : public QObject {
  public:
    QuitWatcher() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitWatcher() override { QCoreApplication::instance()->removeEventFilter(this); }
    bool Quitting() const { return quitting_ || QCoreApplication::closingDown(); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
            quitting_ = true;
        }
        return false;
    }

  private:
    bool quitting_ = false;
};

}  // namespace

std::uint32_t DelayMs(std::uint32_t ms) {
    platform::BusyDelay(ms);
    return ms;
}

void DelayTicks(std::int32_t ticks, bool processMessages) {
    if (ticks < 1) return;
    ticks = std::min(ticks, TZpBaseDispatcher::kMaxTimerTicks);
    const std::uint32_t ms = static_cast<std::uint32_t>(ticks) * TZpBaseDispatcher::kTickMs;
    if (!processMessages || !platform::IsGuiThread()) {
        platform::BusyDelay(ms);
        return;
    }
    const QuitWatcher quit;
    const std::uint32_t start = platform::MillisecondClock();
    platform::ProcessMessagesUntil(
        [&quit, start, ms] {
            return platform::MillisecondClock() - start >= ms || quit.Quitting();
        },
        static_cast<int>(ms));
}

}  // namespace zp
