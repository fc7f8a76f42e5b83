#pragma once
// One programming run of the Tessara through the terminal: find the terminal, lay the
// ".b12" file out as the banked flash image, switch the terminal to the Tessara path with
// the opening message and a second identification, start the Tessara's loader, and send
// the image's 64-byte pages and the two end bytes. The run never raises: it returns the
// text the wizard shows. Every run that found the terminal ends with the port closed and
// the progress bar hidden.
//
// The image is built before anything but the search goes over the line, so that a file
// the run cannot send never gets as far as the start request, which erases the Tessara.
#include <cstdint>
#include <string>
#include <string_view>

#include "device/bootloader_protocol.h"
#include "device/flash_image.h"
#include "device/run_view.h"
#include "device/serial_link.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"

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
std::string_view TessaraPhaseName(TessaraPhase phase);

// The pauses the terminal needs on the Tessara path.
inline constexpr int kOpeningPauseMs = 200;
inline constexpr int kIdentifyPauseMs = 500;
inline constexpr int kEndBytePauseMs = 200;
// Between a page write and the wait for its acknowledgement; a sleep, nothing runs.
inline constexpr int kPageWriteSettleMs = 20;

class TessaraRun {
  public:
    TessaraRun(SerialLink& link, RunView& view, const i18n::TextTable& texts,
               platform::MessageSink& messages);

    // The whole run for the ".b12" file at `path`; the text to show.
    std::string ProgramTessara(const std::string& path);

    // The steps of a run, on a link whose port is open on the terminal.
    void SendTessaraOpening();
    // The identification, then the start request; empty when the start request went out,
    // else the text the run ends with.
    std::string StartTessaraLoader();
    // Empty when the device behind the terminal answered as a Tessara.
    std::string IdentifyTessaraPath();
    // The image's page writes, each acknowledged and written, then the end bytes.
    bool SendTessaraImage(const FlashImage& image);

    TessaraPhase Phase() const { return phase_; }
    // From the first frame that changes the terminal until the run ends: stopping the run
    // now leaves the terminal to be programmed again.
    bool Writing() const {
        return phase_ >= TessaraPhase::OpenPath && phase_ != TessaraPhase::Finished;
    }
    // The phase the last run ended in.
    TessaraPhase EndedIn() const { return endedIn_; }
    const FlashImage& Image() const { return image_; }

  private:
    using Handler = TessaraPhase (TessaraRun::*)();
    static const Handler kHandlers[kTessaraPhaseCount];

    void ChangePhase(TessaraPhase next);
    TessaraPhase OnSearch();
    TessaraPhase OnCheckFile();
    TessaraPhase OnBuildImage();
    TessaraPhase OnOpenPath();
    TessaraPhase OnAwaitErased();
    TessaraPhase OnPageWrites();
    TessaraPhase OnFinished();

    // Ends the run with `text`; after the search, with the port closed and the bar hidden.
    TessaraPhase Finish(std::string text);
    TessaraPhase FailWithCode(int code);
    std::string CodeText(int code) const;

    SerialLink& link_;
    RunView& view_;
    const i18n::TextTable& texts_;
    BootloaderProtocol protocol_;

    TessaraPhase phase_ = TessaraPhase::Finished;
    TessaraPhase endedIn_ = TessaraPhase::Finished;
    std::string path_;
    std::string result_;
    FlashImage image_;
};

}  // namespace device
