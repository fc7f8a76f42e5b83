#pragma once
// The Windows command scripts that install a new driver and replace the program, line by
// line; they are saved with CR LF line ends into ProgramDir and run there.
#include <string>
#include <vector>

namespace update {

inline constexpr const char* kDriverBatchName = "InstallDriver.bat";
inline constexpr const char* kSelfUpdateBatchName = "Update.bat";

// One argument for a batch file's command line, read back whole by the program: as it is
// when it needs nothing, else in double quotes (a quote inside doubled, so that the
// command interpreter never leaves the quoted text). "%" is doubled because batch files
// expand it, and a line break, which no batch line can hold, becomes a blank.
std::string QuoteBatchArgument(const std::string& argument);

// Runs `dataDir` + `installer`, waits for it, deletes the installed drivers, moves the new
// one into the program folder and deletes itself.
std::vector<std::string> DriverInstallBatch(const std::string& dataDir,
                                            const std::string& installer);

// Copies `dataDir` + `installer` over "ArvexUpdate.exe", retrying while the program still
// holds its file (at most 100 attempts, then a message), deletes the installer, starts the
// program with `arguments` and deletes itself.
std::vector<std::string> SelfUpdateBatch(const std::string& dataDir, const std::string& installer,
                                         const std::vector<std::string>& arguments);

}  // namespace update
