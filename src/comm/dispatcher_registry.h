#pragma once
// Process-wide list of live dispatchers. A dispatcher's handle is its slot, carried in the
// high 16 bits of every event message so that a port window can find the port it belongs
// to. Serial and socket dispatchers share the list, so a lookup names the kind it expects:
// a slot freed and taken again by a dispatcher of another kind is not mistaken for it.
#include <cstdint>

namespace zp {

class TZpBaseDispatcher;
class TZpCustomPort;

// Which transport a dispatcher drives.
enum class TDispatcherKind : std::uint8_t { Serial, Socket };

namespace registry {

// Takes the first empty slot, or appends; returns the slot.
std::int32_t Add(TZpBaseDispatcher* dispatcher, TDispatcherKind kind);
// Empties the slot and drops empty slots at the end.
void Remove(std::int32_t handle);
// The dispatcher in the slot when it is of `kind`, else nothing. Dispatchers are created
// and destroyed on the GUI thread; only there may the result be used beyond the call.
TZpBaseDispatcher* Find(std::int32_t handle, TDispatcherKind kind);
// The port that owns the dispatcher in the slot, when it is of `kind` and has an owner.
TZpCustomPort* FindOwner(std::int32_t handle, TDispatcherKind kind);
// Number of live dispatchers.
int Count();

}  // namespace registry
}  // namespace zp
