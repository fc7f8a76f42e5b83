#pragma once
// Process-wide list of live dispatchers. A dispatcher's handle is its slot, carried in the
// high 16 bits of every event message so that a window can find the port it belongs to.
#include <cstdint>

namespace zp {

class TZpBaseDispatcher;

namespace registry {

// Takes the first empty slot, or appends; returns the slot.
std::int32_t Add(TZpBaseDispatcher* dispatcher);
// Empties the slot and drops empty slots at the end.
void Remove(std::int32_t handle);
// The dispatcher in the slot, or nothing. Only the thread that destroys dispatchers (the
// GUI thread) may use the result beyond the call.
TZpBaseDispatcher* Find(std::int32_t handle);
// Number of live dispatchers.
int Count();

}  // namespace registry
}  // namespace zp
