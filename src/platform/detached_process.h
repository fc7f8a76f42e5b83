#pragma once
// Starting a program that outlives this one: in a session of its own, with its standard
// input and outputs on /dev/null and none of this program's other descriptors, so that a
// script replacing the program neither holds its sockets and serial ports nor is ended
// with it. The caller does not wait for the program; nothing is left to reap.
#include <string>
#include <vector>

namespace platform {

// Runs `program` (a path, not looked up in PATH) with `arguments` in `workingDir`.
// Returns once the program has been executed; false with the reason in `error` when the
// folder or the program could not be used.
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDir, std::string* error = nullptr);

}  // namespace platform
