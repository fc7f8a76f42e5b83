#pragma once
// One programming run of the Plantrix for one firmware package: find the terminal, check
// the package's members against its index, write the vgf and vtf members with block
// writes, load and start the RAM bootloader of the hardware, wait for the flash to be
// ready, send the firmware's records and the finish byte. The run returns the text the
// wizard shows, "Download success!" or what went wrong.
#include <cstdint>
#include <string>
#include <vector>

#include "device/bootloader_protocol.h"
#include "device/firmware_package.h"
#include "device/phase_run.h"
#include "device/record_frames.h"

namespace device {

enum class PlantrixPhase : std::uint8_t {
    Search,           // FindTerminal
    ReadPackage,      // the index and the three checked members
    PrepareLines,     // the bootloader file, the frames of both line lists, the progress bar
    BlockWritesVgf,   // error code 5, port closed
    BlockWritesVtf,   // error code 1, port closed
    RamLoader,        // error code 2, port closed
    AwaitFlashReady,  // error code 3, port left open
    FlashRecords,     // error code 4, port left open
    Finished,
};
inline constexpr std::size_t kPlantrixPhaseCount =
    static_cast<std::size_t>(PlantrixPhase::Finished) + 1;

// Where vtf members go.
inline constexpr std::uint32_t kVtfAddress = 0x40;

class PlantrixRun : public PhaseRun<PlantrixRun, PlantrixPhase> {
  public:
    explicit PlantrixRun(const RunParts& parts);

    // The whole run for the package at `packagePath`; the text to show.
    std::string ProgramPlantrix(const std::string& packagePath);

  private:
    friend PhaseRun;
    static const PhaseRow kPhases[kPlantrixPhaseCount];

    PlantrixPhase OnReadPackage();
    PlantrixPhase OnPrepareLines();
    PlantrixPhase OnBlockWritesVgf();
    PlantrixPhase OnBlockWritesVtf();
    PlantrixPhase OnRamLoader();
    PlantrixPhase OnAwaitFlashReady();
    PlantrixPhase OnFlashRecords();

    // The ends of the writing phases, each with its error code.
    PlantrixPhase VgfFailed();
    PlantrixPhase VtfFailed();
    PlantrixPhase RamLoaderFailed();
    PlantrixPhase FlashReadyFailed();
    PlantrixPhase FlashRecordsFailed();

    BootloaderProtocol protocol_;
    std::string packagePath_;
    PackageIndex index_;
    std::string vgf_;
    std::string vtf_;
    std::vector<std::string> s19Lines_;
    RecordFrames loaderFrames_;
    RecordFrames flashFrames_;
};

}  // namespace device
