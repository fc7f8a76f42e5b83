#pragma once
// The Tessara firmware (".b12", S-record text with banked 24-bit addresses) as the flash
// image of pages 0x30 to 0x3F: page p, window address w (0x8000..0xBFFF) lies at offset
// (p − 0x30) × 0x4000 + (w − 0x8000). The image ends at page 0x3F, window 0x9FFF.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "device/flash_image.h"

namespace device {

inline constexpr uint32_t kTessaraImageSize = 0x3E000;
inline constexpr uint32_t kTessaraLowest = 0x308000;   // page 0x30, window 0x8000
inline constexpr uint32_t kTessaraHighest = 0x3F9FFF;  // page 0x3F, window 0x9FFF
inline constexpr uint8_t kTessaraFirstPage = 0x30;
inline constexpr uint32_t kTessaraPageSize = 0x4000;
inline constexpr uint16_t kTessaraWindow = 0x8000;

// S1 records are unbanked: below 0x4000 skipped, 0x4000..0x7FFF in page 0x3E, 0xC000..
// 0xFFFF in page 0x3F, 0x8000..0xBFFF (the window itself, no page) skipped. S2 records
// from kTessaraLowest to kTessaraHighest are taken. The checksum covers every offset but
// pages 0x3C and 0x3D (0x30000..0x37FFF) and itself, and is stored in the last two bytes.
std::variant<FlashImage, LineFault> BuildTessaraImage(const std::vector<std::string>& lines);

}  // namespace device
