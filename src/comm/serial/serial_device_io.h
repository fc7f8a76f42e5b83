#pragma once
// What the serial dispatcher's worker threads do on the open device: wait for bytes or for
// room, read and write without blocking, drop what the driver holds, and wait for a change
// of the modem lines, each wait with a way for another thread to end it. When to do which
// is the dispatcher's; this is the system's part of it.
#include <cstddef>
#include <cstdint>
#include <thread>

#include "platform/native_handle.h"

namespace zp {

using platform::NativeHandle;

// What ends the read thread's wait early: a new one, or a negative handle with `code` set.
NativeHandle CreateReadWake(std::int32_t& code);
// Ends the read thread's current or next wait. Safe from any thread; ignores a negative handle.
void SignalReadWake(NativeHandle wake);
void CloseReadWake(NativeHandle wake);

enum class InputReady {
    No,        // the time ran out, the wake came, or the wait was interrupted
    Yes,       // bytes to read
    OrHungUp,  // bytes to read, or none more: the line hung up or failed
    Closed,    // the device was closed under the wait
    WaitFailed,
};
// Waits at most `timeoutMs` for input on `device` or for `wake`, which it consumes.
InputReady WaitForInput(NativeHandle device, NativeHandle wake, int timeoutMs);

// Bytes read into `buffer` (> 0), 0 when none are there now, or kDeviceReadFailed when the
// device went away.
inline constexpr std::ptrdiff_t kDeviceReadFailed = -1;
std::ptrdiff_t ReadDevice(NativeHandle device, std::uint8_t* buffer, std::size_t size);

// Bytes the device took (> 0), or one of these.
inline constexpr std::ptrdiff_t kDeviceFull = -1;         // no room now: wait for it
inline constexpr std::ptrdiff_t kDeviceClosed = -2;       // closed under the writer
inline constexpr std::ptrdiff_t kDeviceWriteFailed = -3;  // the device went away
std::ptrdiff_t WriteDevice(NativeHandle device, const std::uint8_t* bytes, std::size_t size);
// Waits at most `timeoutMs` for room to write; false when the device hung up instead.
bool WaitForOutputRoom(NativeHandle device, int timeoutMs);

// Drops what the driver holds, received or waiting to be sent: 0, also for a device that
// went away (nothing is left to drop then), or the code of the failure.
enum class HeldBytes { Received, Unsent };
std::int32_t PurgeDevice(NativeHandle device, HeldBytes which);

// The status thread waits in the system for a change of CTS, DSR, ring or DCD; another
// thread ends that wait by interrupting the status thread.
//
// Readies the interruption once per process; on the thread that opens the port, before
// its worker threads start.
void PrepareModemLineWaits();
// On the status thread, before its first wait: false when its waits cannot be ended, and
// the lines must be read at intervals instead.
bool AcceptModemLineWaitInterrupts();
// False once the means of interruption has been taken from the component; from then on
// the lines are read at intervals as well.
bool ModemLineWaitsInterruptible();
enum class ModemLineWait { Changed, Interrupted, Unsupported };
ModemLineWait WaitForModemLines(NativeHandle device);
// Ends the wait of `statusThread`, when it is in one.
void InterruptModemLineWait(std::thread& statusThread);

}  // namespace zp
