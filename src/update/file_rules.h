#pragma once
// Which files of the server's update folder are wanted here, which installers are newer
// than what is installed, and where a fetched file is stored. Everything is read from the
// file name: the text after its first "." says what it is, "_T" marks a test release,
// and an installer carries its version between its first "_" and its ".exe".
#include <optional>
#include <string>

#include "update/local_folders.h"

namespace update {

// Version 1.05 of this program, times 100.
inline constexpr int kOwnProgramVersion = 105;

inline constexpr const char* kProgramInstallerPrefix = "ArvexUpdate_";
inline constexpr const char* kDriverInstallerPrefix = "ArvexDriver_";

// The version field of an installer name: the text between its first "_" and its last
// four characters, as a decimal whole number; nothing when it is not one.
std::optional<int> InstallerVersionOf(const std::string& name);

// False unless the name begins with "ArvexUpdate_"; then whether its version is above
// `ownVersion`. Nothing when the version field is not a whole number.
std::optional<bool> IsNewerProgram(const std::string& name, int ownVersion = kOwnProgramVersion);

// False unless the name begins with "ArvexDriver_"; then whether its version is above
// that of every driver installed in `programDir` ("ArvexDriver_*.exe" there; an installed
// file whose version is no number does not count). Nothing when the name's own version
// field is not a whole number.
std::optional<bool> IsNewerDriver(const std::string& name, const std::string& programDir);

// What the file is: the text after the first "." of its name; empty without a dot.
std::string FileKind(const std::string& name);
inline constexpr const char* kLanguageFileKind = "lan";

struct WantedRules {
    LocalFolders folders;
    bool serviceMode = false;  // test releases are wanted too
    int ownVersion = kOwnProgramVersion;
    bool programReplaceable = true;  // else the package manager updates the program
};

enum class Wanted { No, Yes, BadVersion, LeftToPackageManager };

// The kind rule: firmware packages ("vbf", "b12", "bbf") and language files ("lan") are
// wanted, installers ("exe") when newer; outside service mode nothing with "_T" in its
// name. BadVersion: an installer whose version field is no number, not wanted.
// LeftToPackageManager: a newer program installer that this copy could not put in its own
// place, not wanted.
// Whether the file is already present is the caller's question.
Wanted IsWantedFile(const std::string& name, const WantedRules& rules);

// Where a fetched file goes: ProgramDir during the installation, LanguageDir for a name
// holding ".lan", else DataDir. Nothing for a name that must not name a local file.
std::optional<std::string> DownloadTarget(const std::string& name, const LocalFolders& folders,
                                          bool installation);

}  // namespace update
