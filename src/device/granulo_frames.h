#pragma once
// The Granulo RAM bootloader's flash frame and the bootloader file itself.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "device/bootloader_frames.h"
#include "device/flash_image.h"

namespace device {

// 15, address (2 bytes), the 64 bytes, the complemented 8-bit sum of the 66 bytes after
// the command byte. The command byte of a flash record, but no count and a 2-byte address:
// only the Granulo bootloader takes it. Awaits kAck, then kDone; kFinishByte ends them.
Frame BuildGranuloBlockFlashWrite(uint16_t address, std::span<const uint8_t, kImageBlockSize> data);

// One block flash write per block of the image that holds data, in ascending order.
std::vector<Frame> GranuloBlockFlashWritesFor(const FlashImage& image);

// "BLaz60A.prg" for hardware code 1; the Granulo bootloader exists for no other code.
std::optional<std::string_view> GranuloBootloaderFileFor(uint8_t hardwareCode);

}  // namespace device
