#pragma once
// What a simulated terminal saw and what its memories hold afterwards.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frames.h"
#include "memory.h"

namespace termsim {

enum class SimState : uint8_t {
    Loader,         // the resident loader: identify, block writes, load records, start
    Erasing,        // after the start request, until the flash-ready byte
    FlashLoader,    // the RAM bootloader taking flash records
    GranuloLoader,  // the Granulo RAM bootloader taking block flash writes
    RelayWake,      // the relay path opened; the first identify request wakes it
    RelayIdentify,  // the second identify request is answered from the far device
    RelayStart,     // identified; waiting for the start request
    Pages,          // the far device's loader taking page writes
    PagesEnding,    // the first end byte came; the second ends the run
    Streaming,      // a device in normal operation
    Silent,         // answers nothing any more (fault)
    Vanished,       // unplugged (fault)
};
inline constexpr std::size_t kSimStateCount = static_cast<std::size_t>(SimState::Vanished) + 1;
std::string_view SimStateName(SimState state);

struct FrameRecord {
    uint64_t sequence = 0;
    int64_t atMicros = 0;  // since the simulator started; paced: when the last byte was in
    SimState state = SimState::Loader;  // the state that received the frame
    FrameKind kind = FrameKind::Garbage;
    uint32_t address = 0;
    Bytes data;  // the payload without command, address, length and sum
    Bytes raw;   // the frame as received
    bool sumOk = true;
    Bytes reply;  // what the terminal sent back for it
    std::string note;
};

struct SimResults {
    uint8_t hardwareCode = 1;
    // Every frame in order of arrival; runs of garbage bytes are joined into one record.
    // Beyond kMaxRecords, frames are still handled but no longer recorded.
    std::vector<FrameRecord> frames;
    uint64_t framesNotRecorded = 0;
    uint64_t garbageBytes = 0;

    SparseMemory blockWrites;         // the vgf member at its address, the vtf member at 0x40
    SparseMemory ramLoader;           // the load records
    SparseMemory flash;               // the flash records, wherever they pointed
    unsigned flashOutsideWindow = 0;  // flash records outside the hardware's flash window
    Bytes pageImage;     // page runs only: kPageImageSize bytes, FF where nothing was written
    Bytes granuloImage;  // Granulo runs only: kGranuloImageSize bytes

    unsigned completeRuns = 0;
    bool runInProgress = false;  // a run frame came and no end yet
    SimState state = SimState::Loader;

    static constexpr std::size_t kMaxRecords = 100000;

    std::size_t Count(FrameKind kind) const;
    // The flash window of the hardware code as one image, FF where nothing was written.
    Bytes FlashWindowImage() const;
};

}  // namespace termsim
