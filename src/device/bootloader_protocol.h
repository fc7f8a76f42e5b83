#pragma once
// The exchanges of the bootloader protocol over the serial link: block writes, the RAM
// loader with its start request, the wait for the flash to be ready, and the flash
// records. Every frame awaits its acknowledgement; a refused frame is sent again while
// its refusal budget lasts, and the refusal after the last one ends the exchange with
// "Communication checksum error". The Tessara and Granulo runs reuse these steps.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "device/bootloader_frames.h"
#include "device/record_frames.h"
#include "device/run_view.h"
#include "device/serial_link.h"
#include "platform/message_sink.h"

namespace device {

inline constexpr const char* kChecksumErrorMessage = "Communication checksum error";
inline constexpr const char* kProgrammingErrorMessage = "Error while programming";
inline constexpr const char* kS19ErrorMessage = "Error in s19 file";

// Replies awaited for the flash-ready byte after the start request.
inline constexpr int kFlashReadyWaits = 4;
// After a refused block write, before it is sent again.
inline constexpr int kRefusedBlockPauseMs = 20;

enum class AckResult { Acked, NoReply, BudgetSpent };

// What surrounds each attempt at a frame that awaits its acknowledgement; the devices
// differ in how they want the line settled around a send.
struct AckAttempt {
    std::function<void()> beforeSend;    // before every send of the frame, the first too
    std::function<void()> afterSend;     // between the send and the wait for its reply
    std::function<void()> afterRefusal;  // after a refusal, before the frame goes again
    // The refusal that finds the budget spent shows "Communication checksum error".
    bool reportsSpentBudget = true;
};

class BootloaderProtocol {
  public:
    BootloaderProtocol(SerialLink& link, RunView& view, platform::MessageSink& messages);

    // Sends `frame` until it is acknowledged; each refusal draws on `refusalsLeft` and is
    // followed by `afterRefusal` (when set). The refusal that finds the budget spent shows
    // "Communication checksum error". No reply (or 00) ends it at once.
    AckResult SendAwaitingAck(const Frame& frame, int& refusalsLeft,
                              const std::function<void()>& afterRefusal = {});
    AckResult SendAwaitingAck(const Frame& frame, int& refusalsLeft, const AckAttempt& attempt);
    // Frames that each await kAck and then kDone, each with a refusal budget of its own; a
    // step of progress per written frame. False at the first frame not written; a done
    // byte other than kDone (not a time-out) shows `notWrittenMessage` when there is one.
    bool SendWrittenFrames(const std::vector<Frame>& frames, const AckAttempt& attempt,
                           const char* notWrittenMessage = nullptr);

    // Block writes of `data` from `address`, 64 bytes each and a shorter last one (one
    // write of no bytes for empty data); one refusal budget for all of them; a step of
    // progress per acknowledged write.
    bool SendDataBlocks(std::string_view data, std::uint32_t address);
    // The load records with one refusal budget for the whole loader, then the start
    // request. A loader whose lines stop short of its end record is not sent at all: false.
    bool SendRamLoader(const RecordFrames& loader);
    // True once the started RAM bootloader reported the flash ready.
    bool AwaitFlashReady();
    // The flash records, each with a refusal budget of its own and then its done byte,
    // and the finish byte. Records whose lines stop short of their end record are not
    // sent at all: false. The run refuses such lines before anything goes out; this only
    // keeps a part of a firmware from ever reaching the flash.
    bool SendFlashRecords(const RecordFrames& records);

  private:
    SerialLink& link_;
    RunView& view_;
    platform::MessageSink& messages_;
};

}  // namespace device
