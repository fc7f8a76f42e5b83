#pragma once
// The RAM bootloader's lines and the firmware's lines as the frames a run sends, one per
// record, in file order. Building them is pure, so a run knows before it sends anything
// whether the lines reach their end record, and refuses them before the first frame.
#include <optional>
#include <string>
#include <vector>

#include "device/bootloader_frames.h"
#include "device/srecord.h"

namespace device {

struct RecordFrames {
    std::vector<Frame> frames;       // each awaits kAck (a flash record then kDone)
    std::optional<LineFault> fault;  // the line the walk stopped at short of its end record
};

// S0 skipped; each S1 a load record; S9 ends the loader, the start request comes next.
// Any other line, or no S9, is a fault after the frames before it.
RecordFrames LoadRecordsFor(const std::vector<std::string>& lines);

// S0 skipped; S1 and S2 records that start inside `window` (only the start address is
// looked at) each a flash record, the others skipped; S8 or S9 ends them, the finish byte
// comes next. Any other line, a record that cannot be read or sent, or no end record is a
// fault.
RecordFrames FlashRecordsFor(const std::vector<std::string>& lines, FlashWindow window);

}  // namespace device
