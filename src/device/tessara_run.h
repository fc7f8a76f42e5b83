#pragma once
// One programming run of the Tessara through the terminal: find the terminal, lay the
// ".b12" file out as the banked flash image, switch the terminal to the Tessara path with
// the opening message and a second identification, start the Tessara's loader, and send
// the image's 64-byte pages and the two end bytes. The run returns the text the wizard
// shows. Every run that found the terminal ends with the port closed and the progress bar
// hidden.
//
// The image is built before anything but the search goes over the line, so that a file
// the run cannot send never gets as far as the start request, which erases the Tessara.
#include <cstdint>
#include <string>

#include "device/bootloader_protocol.h"
#include "device/flash_image.h"
#include "device/phase_run.h"

namespace device {

enum class TessaraPhase : std::uint8_t {
    Search,       // FindTerminal
    CheckFile,    // the file still there (text 28), the port open (code 6)
    BuildImage,   // the file's lines as the image (code 4; code 7 when it cannot be read)
    OpenPath,     // opening message, identification (code 8, text 29), start request
    AwaitErased,  // the "E" after the start request (code 3)
    PageWrites,   // the pages and the end bytes (code 4)
    Finished,
};
inline constexpr std::size_t kTessaraPhaseCount =
    static_cast<std::size_t>(TessaraPhase::Finished) + 1;

// The pauses the terminal needs on the Tessara path.
inline constexpr int kOpeningPauseMs = 200;
inline constexpr int kIdentifyPauseMs = 500;
inline constexpr int kEndBytePauseMs = 200;
// Between a page write and the wait for its acknowledgement; a sleep, nothing runs.
inline constexpr int kPageWriteSettleMs = 20;

class TessaraRun : public PhaseRun<TessaraRun, TessaraPhase> {
  public:
    explicit TessaraRun(const RunParts& parts);

    // The whole run for the ".b12" file at `path`; the text to show.
    std::string ProgramTessara(const std::string& path);

  private:
    friend PhaseRun;
    static const PhaseRow kPhases[kTessaraPhaseCount];

    TessaraPhase OnCheckFile();
    TessaraPhase OnBuildImage();
    TessaraPhase OnOpenPath();
    TessaraPhase OnAwaitErased();
    TessaraPhase OnPageWrites();
    // Whatever raised, the run ends with code 7.
    TessaraPhase Raised();
    TessaraPhase FailWithCode(int code);

    void SendTessaraOpening();
    // The identification, then the start request; empty when the start request went out,
    // else the text the run ends with.
    std::string StartTessaraLoader();
    // Empty when the device behind the terminal answered as a Tessara.
    std::string IdentifyTessaraPath();
    // The image's page writes, each acknowledged and written, then the end bytes.
    bool SendTessaraImage(const FlashImage& image);

    BootloaderProtocol protocol_;
    std::string path_;
    FlashImage image_;
};

}  // namespace device
