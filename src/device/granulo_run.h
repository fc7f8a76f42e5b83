#pragma once
// One programming run of the Granulo variant from its fixed package: find the terminal,
// check that the package's s19 member is one, lay its S1 records out as the Granulo image,
// load and start the Granulo RAM bootloader (hardware code 1 only), wait for the flash to
// be erased, send the image's 64-byte blocks and the finish byte. The run never raises: it
// returns the text the window shows in a message box.
//
// The image is built before the loader goes out: a package the run cannot send never gets
// as far as the start request, which erases the terminal's flash.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_reader.h"
#include "device/bootloader_protocol.h"
#include "device/flash_image.h"
#include "device/record_frames.h"
#include "device/run_view.h"
#include "device/serial_link.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"

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
std::string_view GranuloPhaseName(GranuloPhase phase);

class GranuloRun {
  public:
    // `programDir` (with its "/") holds the bootloader file; read at each run.
    GranuloRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
               platform::MessageSink& messages, ziparchive::TZipReader& zip,
               const std::string& programDir);

    // The whole run for the package at `packagePath`; the text to show.
    std::string ProgramGranulo(const std::string& packagePath);
    // The image's block flash writes, each acknowledged and written, then the finish byte.
    bool SendGranuloImage(const FlashImage& image);

    GranuloPhase Phase() const { return phase_; }
    // From the first frame that changes the terminal until the run ends: stopping the run
    // now leaves the terminal to be programmed again.
    bool Writing() const {
        return phase_ >= GranuloPhase::RamLoader && phase_ != GranuloPhase::Finished;
    }
    GranuloPhase EndedIn() const { return endedIn_; }
    const FlashImage& Image() const { return image_; }
    const std::vector<std::string>& FirmwareLines() const { return s19Lines_; }
    const std::vector<std::string>& BootloaderLines() const { return loaderLines_; }

  private:
    using Handler = GranuloPhase (GranuloRun::*)();
    static const Handler kHandlers[kGranuloPhaseCount];

    void ChangePhase(GranuloPhase next);
    GranuloPhase OnSearch();
    GranuloPhase OnCheckPackage();
    GranuloPhase OnPrepareLines();
    GranuloPhase OnRamLoader();
    GranuloPhase OnAwaitErased();
    GranuloPhase OnBlocks();
    GranuloPhase OnFinished();

    GranuloPhase Finish(std::string text);
    // Text 19, a line break, text 20 and `suffix`.
    std::string ErrorText(const char* suffix) const;

    SerialLink& link_;
    RunView& view_;
    const i18n::TextTable& texts_;
    platform::MessageSink& messages_;
    ziparchive::TZipReader& zip_;
    const std::string& programDir_;
    BootloaderProtocol protocol_;

    GranuloPhase phase_ = GranuloPhase::Finished;
    GranuloPhase endedIn_ = GranuloPhase::Finished;
    std::string packagePath_;
    std::string result_;
    std::vector<std::string> s19Lines_;
    std::vector<std::string> loaderLines_;
    RecordFrames loaderFrames_;
    FlashImage image_;
};

}  // namespace device
