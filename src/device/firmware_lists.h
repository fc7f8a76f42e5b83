#pragma once
// The firmware choices offered for the connected hardware: machine types, releases of one
// machine type, and the newest release. The caller (the wizard) owns the controls the
// lists go into and reports an empty list as "no firmware found".
#include <string>
#include <vector>

namespace device {

// The newest release among DataDir + machineType + pattern (pattern "*.vbf" or "*.b12"):
// the highest release number above 0, the first listed among equals. With `s12` only
// s12 packages count, without it none. Empty when no file qualifies.
std::string FindNewestFirmware(const std::string& dataDir, const std::string& machineType,
                               const std::string& pattern, bool s12);

struct MachineTypeChoice {
    std::vector<std::string> machineTypes;  // each once, compared without regard to case
    int selected = -1;                      // 0 when there is any entry
};

// The machine types of the packages "*.vbf" in `dataDir` that fit the hardware; test
// releases only in service mode.
MachineTypeChoice FillMachineTypes(const std::string& dataDir, bool serviceMode, bool s12);

struct ReleaseChoice {
    std::vector<std::string> releases;   // release texts, shown to the user
    std::vector<std::string> fileNames;  // the file of each release, same index
    int selected = -1;                   // the last entry when there is any
};

// The releases of one machine type, test releases included, in listing order.
ReleaseChoice FillReleases(const std::string& dataDir, const std::string& machineType,
                           const std::string& pattern, bool s12);

}  // namespace device
