#pragma once
// The signal that ends the status thread's wait for a modem-line change. That wait
// (TIOCMIWAIT) sits in the kernel, and on most serial drivers only a signal ends it, so a
// port that closes sends this signal to its own status thread.
//
// Which signal: the first real-time signal, from SIGRTMAX - 2 down to SIGRTMIN + 2, whose
// disposition is still the default when the first port opens. glibc keeps the signals it
// uses for itself below SIGRTMIN and Qt uses no real-time signal; the margins at both ends
// leave the numbers that other libraries and tools tend to take first. A signal somebody
// has installed a handler for, or set to be ignored, is never taken.
//
// Installed once per process, by the first open, with a handler that does nothing and
// without SA_RESTART, so that the interrupted wait returns EINTR. The component sends it
// only to its own status threads. Arriving anywhere else it does nothing, where the
// default action would have ended the process. A program that installs its own handler
// for this signal later takes it back: status threads then no longer wait in the kernel
// but read the modem lines every 100 ms, and only a wait that was already running when
// the handler changed is ended with the signal once more.
namespace zp {

// The signal, installed on the first call; 0 when no real-time signal was free.
int StatusWakeSignal();
// True while the signal's handler is still the one StatusWakeSignal installed.
bool StatusWakeSignalIsOurs();
// The signal StatusWakeSignal would choose now (0 if none): the first candidate whose
// disposition is the default. Installs nothing.
int FindFreeRealtimeSignal();

}  // namespace zp
