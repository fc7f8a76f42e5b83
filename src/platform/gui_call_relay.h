#pragma once
// The hand-over under PostToGui for calls from other threads: a queue that the GUI
// thread empties when the system wakes it. Made as the application starts.
#include <functional>

namespace platform {

// Queues `call` for the GUI thread and wakes it; false when there is no application to
// run it. Safe from any thread.
bool RelayToGui(std::function<void()> call);

}  // namespace platform
