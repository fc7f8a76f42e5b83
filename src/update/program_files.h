#pragma once
// The files without which nothing can be programmed: the zip engine and the RAM
// bootloaders. A program folder that lacks any of them is installed first: the update
// check fetches them from the server's "ProgramFiles" before its own folder.
#include <string>
#include <vector>

namespace update {

// The program files that `programDir` lacks; the engine is looked for in
// `packagedEngineDir` instead when that is not empty (an installed package's own).
std::vector<std::string> MissingProgramFiles(const std::string& programDir,
                                             const std::string& packagedEngineDir);

// The program files that come with the package in `packagedEngineDir` (none when empty):
// the installation never fetches them.
std::vector<std::string> PackagedProgramFiles(const std::string& packagedEngineDir);

}  // namespace update
