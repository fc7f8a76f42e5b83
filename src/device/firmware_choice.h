#pragma once
// Which package a programming run writes, before anything goes over the line: the kind of
// firmware each run takes, the hardware whose packages carry "_s12", and the release
// offered first. The window's wizard and arvex choose by these same rules; how the user is
// asked (a list on the page, an option on the command line) is theirs.
#include <optional>
#include <string>

#include "device/firmware_lists.h"

namespace device {

// The hardware code whose packages are the "_s12" ones.
inline constexpr int kS12HardwareCode = 3;
inline bool IsS12Hardware(int hardwareCode) { return hardwareCode == kS12HardwareCode; }

// What one run programs: the Plantrix's packages, whose machine type is chosen among
// those in the data folder, or the Tessara's files, all of one machine type.
struct FirmwareKind {
    const char* filePattern;  // "*.vbf"
    std::string machineType;  // empty: chosen among the packages that fit the terminal
};
inline const FirmwareKind kPlantrixFirmware{"*.vbf", ""};
inline const FirmwareKind kTessaraFirmware{"*.b12", "Tessara"};

struct ChosenFirmware {
    std::string release;   // as the user is shown it
    std::string fileName;  // in the data folder
};

// Outside service mode: the newest release of the machine type; nothing when none fits.
std::optional<ChosenFirmware> NewestFirmware(const std::string& dataDir,
                                             const std::string& machineType,
                                             const FirmwareKind& kind, bool s12);

// In service mode: the release of `releases` named `release` (compared without regard to
// case), or without a name the one the list offers first; nothing when there is none.
std::optional<ChosenFirmware> ReleaseFirmware(const ReleaseChoice& releases,
                                              const std::optional<std::string>& release);

}  // namespace device
