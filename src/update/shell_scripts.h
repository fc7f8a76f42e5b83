#pragma once
// The POSIX sh scripts that install a new driver and replace the program on this
// platform, line by line. They are saved with LF line ends into ProgramDir and run there
// by /bin/sh, detached from the program.
#include <string>
#include <vector>

namespace update {

inline constexpr const char* kDriverShellName = "InstallDriver.sh";
inline constexpr const char* kSelfUpdateShellName = "Update.sh";

// The text in single quotes, so that the shell reads it back whole and expands nothing.
std::string QuoteShellArgument(const std::string& argument);

// Runs `dataDir` + `installer` and waits for it, moves it into `programDir` and, once it
// is there, deletes the other installed drivers; then deletes itself. An installer that
// is gone (filed by an earlier script) leaves the installed drivers alone.
std::vector<std::string> DriverInstallShell(const std::string& programDir,
                                            const std::string& dataDir,
                                            const std::string& installer);

// Waits (at most about 30 s) for the process `programPid` (when above 0) to end, puts `dataDir` +
// `installer` in the place of `programFile` (an absolute path) through a temporary file
// beside it and a rename, so that an interrupted update leaves a working program (at most
// 100 attempts, then a message through the first message tool found, else on standard
// error), deletes the installer, starts the program in `programDir` with `arguments` and
// deletes itself.
std::vector<std::string> SelfUpdateShell(const std::string& programDir, const std::string& dataDir,
                                         const std::string& installer,
                                         const std::string& programFile,
                                         const std::vector<std::string>& arguments,
                                         long programPid);

}  // namespace update
