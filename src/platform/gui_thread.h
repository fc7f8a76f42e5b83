#pragma once
// Calls into the GUI thread: posting a call to run there later, or sending one and waiting
// until it has run. Components that run worker threads use these to reach the program's
// handlers, which all run on the GUI thread.
#include <functional>

namespace platform {

// True on the thread that runs the application's event loop.
bool IsGuiThread();

// Queues `call` to run on the GUI thread after the events already queued. Safe from any thread.
void PostToGui(std::function<void()> call);

// Queues an empty call: wakes the GUI thread's event loop. Safe from any thread.
void WakeGuiThread();

// Runs `call` on the GUI thread and waits until it has finished, at most `timeoutMs`.
// On the GUI thread itself the call runs at once. Returns false when the wait timed out;
// a call that had not started by then is dropped and never runs, so a timed-out sender
// knows the handler is not going to run behind its back. A call that had started keeps
// running and the sender returns false without waiting for it.
constexpr int kSendTimeoutMs = 3000;
bool SendToGui(std::function<void()> call, int timeoutMs = kSendTimeoutMs);

}  // namespace platform
