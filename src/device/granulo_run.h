#pragma once
// One programming run of the Granulo variant from its fixed package: find the terminal,
// check that the package's s19 member is one, lay its S1 records out as the Granulo image,
// load and start the Granulo RAM bootloader (hardware code 1 only), wait for the flash to
// be erased, send the image's 64-byte blocks and the finish byte. The run returns the text
// the window shows in a message box.
//
// The image is built before the loader goes out: a package the run cannot send never gets
// as far as the start request, which erases the terminal's flash.
#include <cstdint>
#include <string>
#include <vector>

#include "device/bootloader_protocol.h"
#include "device/flash_image.h"
#include "device/phase_run.h"
#include "device/record_frames.h"

namespace device {

inline constexpr const char* kGranuloPackage = "Granulo_R01_04.bbf";
inline constexpr const char* kLoaderFailedSuffix = " Error sending bootloader to RAM";
inline constexpr const char* kBlocksFailedSuffix = " sendS19";
inline constexpr const char* kEraseFailedMessage = "Error erasing flash";

enum class GranuloPhase : std::uint8_t {
    Search,        // FindTerminal
    CheckPackage,  // the s19 member begins with "S00" (text 14)
    PrepareLines,  // the bootloader by hardware code, the image, the loader's frames
    RamLoader,     // " Error sending bootloader to RAM", port closed
    AwaitErased,   // "Error erasing flash"
    Blocks,        // " sendS19"
    Finished,
};
inline constexpr std::size_t kGranuloPhaseCount =
    static_cast<std::size_t>(GranuloPhase::Finished) + 1;

class GranuloRun : public PhaseRun<GranuloRun, GranuloPhase> {
  public:
    explicit GranuloRun(const RunParts& parts);

    // The whole run for the package at `packagePath`; the text to show.
    std::string ProgramGranulo(const std::string& packagePath);

  private:
    friend PhaseRun;
    static const PhaseRow kPhases[kGranuloPhaseCount];

    GranuloPhase OnCheckPackage();
    GranuloPhase OnPrepareLines();
    GranuloPhase OnRamLoader();
    GranuloPhase OnAwaitErased();
    GranuloPhase OnBlocks();

    GranuloPhase LoaderFailed();
    GranuloPhase EraseFailed();
    GranuloPhase BlocksFailed();

    // The image's block flash writes, each acknowledged and written, then the finish byte.
    bool SendGranuloImage(const FlashImage& image);

    BootloaderProtocol protocol_;
    std::string packagePath_;
    std::vector<std::string> s19Lines_;
    RecordFrames loaderFrames_;
    FlashImage image_;
};

}  // namespace device
