#include "device/firmware_choice.h"

#include "device/firmware_names.h"
#include "platform/folder_listing.h"

namespace device {

std::optional<ChosenFirmware> NewestFirmware(const std::string& dataDir,
                                             const std::string& machineType,
                                             const FirmwareKind& kind, bool s12) {
    const std::string file = FindNewestFirmware(dataDir, machineType, kind.filePattern, s12);
    if (file.empty()) return std::nullopt;
    return ChosenFirmware{ReleaseTextOf(file), file};
}

std::optional<ChosenFirmware> ReleaseFirmware(const ReleaseChoice& releases,
                                              const std::optional<std::string>& release) {
    if (!release) {
        if (releases.selected < 0 ||
            static_cast<size_t>(releases.selected) >= releases.fileNames.size())
            return std::nullopt;
        const auto i = static_cast<size_t>(releases.selected);
        return ChosenFirmware{releases.releases[i], releases.fileNames[i]};
    }
    for (size_t i = 0; i < releases.releases.size() && i < releases.fileNames.size(); ++i)
        if (platform::SameTextIgnoringCase(releases.releases[i], *release))
            return ChosenFirmware{releases.releases[i], releases.fileNames[i]};
    return std::nullopt;
}

}  // namespace device
