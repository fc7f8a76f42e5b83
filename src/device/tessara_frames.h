#pragma once
// The frames that reach the Tessara through the terminal, besides the identify and start
// requests it shares with the bootloader protocol.
#include <cstdint>
#include <span>
#include <vector>

#include "device/bootloader_frames.h"
#include "device/flash_image.h"

namespace device {

// End a Tessara run after the last page write, sent one at a time; nothing is awaited.
inline constexpr uint8_t kTessaraEndBytes[] = {'5', 0xAF};

// FF F8, ten 00, sum16 of those 12 bytes: switches the terminal to the Tessara path.
Frame TessaraOpeningMessage();

// The replies to the identify request on the Tessara path that let the run go on (C8 or
// 01); any other byte means the device there is not one the run can program.
bool IsTessaraPathReply(uint8_t reply);

// 16, page, window address (2 bytes), the 64 bytes, the complemented 8-bit sum of the 67
// bytes after the command byte. Awaits kAck, then kDone.
Frame BuildTessaraPageWrite(uint8_t page, uint16_t windowAddress,
                            std::span<const uint8_t, kImageBlockSize> data);

// One page write per block of the image that holds data, in ascending order.
std::vector<Frame> TessaraPageWritesFor(const FlashImage& image);

}  // namespace device
