#pragma once
// What the system tells of this program's own process.
#include <string>

namespace platform {

// The number by which other programs (a script waiting for this one to end) know it.
long CurrentProcessId();

// The absolute path of the running executable; empty when the system does not tell.
std::string RunningExecutablePath();

}  // namespace platform
