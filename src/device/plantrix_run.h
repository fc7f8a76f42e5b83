#pragma once
// One programming run of the Plantrix for one firmware package: find the terminal, check
// the package's members against its index, write the vgf and vtf members with block
// writes, load and start the RAM bootloader of the hardware, wait for the flash to be
// ready, send the firmware's records and the finish byte. The run never raises: it
// returns the text the wizard shows, "Download success!" or what went wrong.
//
// The run is a state machine: one phase per step, a handler per phase that returns the
// next one, and ChangePhase as the only place the phase changes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_reader.h"
#include "device/bootloader_protocol.h"
#include "device/firmware_package.h"
#include "device/record_frames.h"
#include "device/run_view.h"
#include "device/serial_link.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"

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
std::string_view PlantrixPhaseName(PlantrixPhase phase);

// Where vtf members go.
inline constexpr std::uint32_t kVtfAddress = 0x40;

class PlantrixRun {
  public:
    // `programDir` (with its "/") holds the bootloader files; read at each run.
    PlantrixRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
                platform::MessageSink& messages, ziparchive::TZipReader& zip,
                const std::string& programDir);

    // The whole run for the package at `packagePath`; the text to show.
    std::string ProgramPlantrix(const std::string& packagePath);

    PlantrixPhase Phase() const { return phase_; }
    // From the first frame that changes the terminal until the run ends: stopping the run
    // now leaves the terminal to be programmed again.
    bool Writing() const {
        return phase_ >= PlantrixPhase::BlockWritesVgf && phase_ != PlantrixPhase::Finished;
    }
    // The phase the last run ended in (Finished only after success or an early refusal).
    PlantrixPhase EndedIn() const { return endedIn_; }
    // The lines of the last run: the firmware's S-records and the RAM bootloader's.
    const std::vector<std::string>& FirmwareLines() const { return s19Lines_; }
    const std::vector<std::string>& BootloaderLines() const { return loaderLines_; }

  private:
    using Handler = PlantrixPhase (PlantrixRun::*)();
    static const Handler kHandlers[kPlantrixPhaseCount];

    void ChangePhase(PlantrixPhase next);
    PlantrixPhase OnSearch();
    PlantrixPhase OnReadPackage();
    PlantrixPhase OnPrepareLines();
    PlantrixPhase OnBlockWritesVgf();
    PlantrixPhase OnBlockWritesVtf();
    PlantrixPhase OnRamLoader();
    PlantrixPhase OnAwaitFlashReady();
    PlantrixPhase OnFlashRecords();
    PlantrixPhase OnFinished();

    // Ends the run with `text`.
    PlantrixPhase Finish(std::string text);
    // Ends the run with the error code of `phase` (by default the one it is in), closing
    // the port where that code does.
    PlantrixPhase Fail();
    PlantrixPhase FailAs(PlantrixPhase phase);

    SerialLink& link_;
    RunView& view_;
    const i18n::TextTable& texts_;
    platform::MessageSink& messages_;
    ziparchive::TZipReader& zip_;
    const std::string& programDir_;
    BootloaderProtocol protocol_;

    PlantrixPhase phase_ = PlantrixPhase::Finished;
    PlantrixPhase endedIn_ = PlantrixPhase::Finished;
    std::string packagePath_;
    std::string result_;
    PackageIndex index_;
    std::string vgf_;
    std::string vtf_;
    std::vector<std::string> s19Lines_;
    std::vector<std::string> loaderLines_;
    RecordFrames loaderFrames_;
    RecordFrames flashFrames_;
};

}  // namespace device
