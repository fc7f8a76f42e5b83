#pragma once
// The Granulo firmware (the package's s19 member, S1 records) as the flash image of the
// addresses 0x0580 to 0xF5FF: offset = address − 0x0580.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "device/flash_image.h"

namespace device {

inline constexpr uint16_t kGranuloImageStart = 0x0580;
inline constexpr uint32_t kGranuloImageSize = 0xF080;

// S1 records that start inside the image are taken; S2 and other types are refused. The
// checksum covers 0x0580..0x05FF and 0x0E00..0xF5BF and is stored at 0xF5C0 and 0xF5C1.
std::variant<FlashImage, LineFault> BuildGranuloImage(const std::vector<std::string>& lines);

}  // namespace device
