#pragma once
// The file a self-update replaces: the executable that runs, wherever the user started it
// from (a build folder, a per-user copy, an installed copy). A copy whose folder the user
// cannot write, as one installed by the package manager, is left to the package manager:
// the newer installer is then neither fetched nor run.
#include <string>

namespace update {

struct ProgramFile {
    std::string path;          // absolute; empty when it could not be found
    bool replaceable = false;  // this user may put a new version in its place
};

// `path` and whether its folder is writable, as the new version is written beside the
// program and renamed over it. A path that is not absolute is never replaceable.
ProgramFile ProgramFileAt(const std::string& path);

// The running executable.
ProgramFile RunningProgramFile();

// The status line for a newer program installer on the server that is not fetched.
std::string NotFetchedForPackageManagerLine(const std::string& installer);
// The box that tells why a newer program installer is not offered.
std::string UpdatedByPackageManagerText(const std::string& installer, const ProgramFile& program);

}  // namespace update
