#pragma once
// What a simulator rebuilt and recorded, as files a user or an out-of-process test can
// compare: binary images of every memory and a readable log of every frame.
#include <string>

#include "sim_options.h"
#include "sim_results.h"

namespace termsim {

// One line per frame (sequence, time, state, kind, address, sum, reply, note) followed by
// the frame's bytes in hexadecimal.
std::string FormatFrameLog(const SimResults& results);
// Counts, memory segments and image checks in a few lines.
std::string FormatSummary(const SimResults& results, SimMode mode);

// Writes into `folder` (created if needed): frames.log, summary.txt, one
// blocks-<address>.bin and ramloader-<address>.bin per written segment, flash.bin (the
// hardware's flash window) in plantrix mode or once flash records came, and tessara.bin or
// granulo.bin (the whole image) in those modes. Files of an earlier write are replaced.
bool WriteResultFiles(const std::string& folder, const SimResults& results, SimMode mode,
                      std::string& error);

}  // namespace termsim
