#pragma once
// The program's one way of waiting inside a handler: keep the window alive by processing
// pending events until a condition holds. The thread sleeps between events, so a long wait
// costs no CPU; whatever changes the condition must therefore arrive as an event (a timer
// tick, a posted call) or call WakeMessageWait.
#include <functional>

namespace platform {

// Processes events, blocking while none are pending, until `done()` returns true.
// `done` is checked before the first event and after every batch of events.
void ProcessMessagesUntil(const std::function<bool()>& done);

// The same with an upper bound: returns true when `done()` held, false after `timeoutMs`.
// Meant for bounded waits on the GUI thread (closing a device whose worker may need the
// GUI thread to finish); whatever makes `done()` true should also call WakeMessageWait.
bool ProcessMessagesUntil(const std::function<bool()>& done, int timeoutMs);

// Waits while `flag` stays true (the usual "while DelayActive do ProcessMessages" loop).
void ProcessMessagesWhile(const bool& flag);

// Processes what is pending now and returns without waiting.
void ProcessPendingMessages();

// Wakes a ProcessMessagesUntil on the GUI thread so it re-checks its condition; for a
// condition changed by another thread without posting anything. Safe from any thread.
void WakeMessageWait();

// The program is ending (its window has closed): every wait, running or still to come,
// returns at once whether its condition holds or not, so that no handler keeps the process
// alive behind a closed window. Safe from any thread.
void EndMessageWaits();
bool MessageWaitsEnded();
// Waits wait again: for a process that starts the program anew, as the tests do.
void ResumeMessageWaits();

}  // namespace platform
