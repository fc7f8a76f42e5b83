#include "comm/serial/posix/status_wake_signal.h"

#include <signal.h>

namespace zp {

namespace {

void Ignore(int) {}

bool IsDefault(int s) {
    struct sigaction current {};
    return sigaction(s, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
           current.sa_handler == SIG_DFL;
}

int Install() {
    const int s = FindFreeRealtimeSignal();
    if (s == 0) return 0;
    struct sigaction action {};
    action.sa_handler = Ignore;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the interrupted wait must return
    return sigaction(s, &action, nullptr) == 0 ? s : 0;
}

}  // namespace

int FindFreeRealtimeSignal() {
    for (int s = SIGRTMAX - 2; s >= SIGRTMIN + 2; --s) {
        if (IsDefault(s)) return s;
    }
    return 0;
}

int StatusWakeSignal() {
    static const int chosen = Install();
    return chosen;
}

bool StatusWakeSignalIsOurs() {
    const int s = StatusWakeSignal();
    if (s == 0) return false;
    struct sigaction current {};
    return sigaction(s, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
           current.sa_handler == Ignore;
}

}  // namespace zp
