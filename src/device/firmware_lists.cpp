#include "device/firmware_lists.h"

#include <algorithm>

#include "device/firmware_names.h"
#include "platform/folder_listing.h"

namespace device {

namespace {
bool FitsHardware(const std::string& fileName, bool s12) { return IsS12File(fileName) == s12; }
}  // namespace

std::string FindNewestFirmware(const std::string& dataDir, const std::string& machineType,
                               const std::string& pattern, bool s12) {
    std::string newest;
    long newestNumber = 0;
    for (const std::string& name : platform::ListFiles(dataDir, machineType + pattern)) {
        if (!FitsHardware(name, s12)) continue;
        const std::optional<long> number = ReleaseNumberOf(name);
        if (number && *number > newestNumber) {
            newestNumber = *number;
            newest = name;
        }
    }
    return newest;
}

MachineTypeChoice FillMachineTypes(const std::string& dataDir, bool serviceMode, bool s12) {
    MachineTypeChoice choice;
    for (const std::string& name : platform::ListFiles(dataDir, "*.vbf")) {
        if (!serviceMode && IsTestRelease(name)) continue;
        if (!FitsHardware(name, s12)) continue;
        const std::string type = MachineTypeOf(name);
        if (type.empty()) continue;
        const bool known = std::any_of(choice.machineTypes.begin(), choice.machineTypes.end(),
                                       [&](const std::string& t) { return platform::SameTextIgnoringCase(t, type); });
        if (!known) choice.machineTypes.push_back(type);
    }
    if (!choice.machineTypes.empty()) choice.selected = 0;
    return choice;
}

ReleaseChoice FillReleases(const std::string& dataDir, const std::string& machineType,
                           const std::string& pattern, bool s12) {
    ReleaseChoice choice;
    for (const std::string& name : platform::ListFiles(dataDir, machineType + pattern)) {
        if (!FitsHardware(name, s12)) continue;
        const std::string release = ReleaseTextOf(name);
        if (release.empty()) continue;
        choice.releases.push_back(release);
        choice.fileNames.push_back(name);
    }
    if (!choice.releases.empty()) choice.selected = static_cast<int>(choice.releases.size()) - 1;
    return choice;
}

}  // namespace device
