#include "comm/zp_delays.h"

#include <QCoreApplication>
#include <algorithm>

#include "comm/zp_base_dispatcher.h"
#include "platform/clock.h"
#include "platform/gui_thread.h"
#include "platform/message_wait.h"

namespace zp {

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
    const std::uint32_t start = platform::MillisecondClock();
    platform::ProcessMessagesUntil(
        [start, ms] {
            return platform::MillisecondClock() - start >= ms || QCoreApplication::closingDown();
        },
        static_cast<int>(ms));
}

}  // namespace zp
