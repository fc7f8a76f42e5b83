#pragma once
// A flash image laid out from S-record lines before anything is sent: erased (FF) where no
// record wrote, its checksum stored in it, and the 64-byte blocks worth sending. The
// Tessara and Granulo runs differ only in the layout they give.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "device/srecord.h"

namespace device {

inline constexpr size_t kImageBlockSize = 64;
inline constexpr uint8_t kErased = 0xFF;

struct FlashImage {
    std::vector<uint8_t> bytes;
    // The sum of the summed ranges, all bits inverted; its bits 15..0 are stored in the
    // image, high byte first.
    uint32_t checksum = 0;
    // Offsets of the blocks that are not all FF, ascending; the checksum's block is one.
    std::vector<uint32_t> dataBlocks;

    std::span<const uint8_t, kImageBlockSize> BlockAt(uint32_t offset) const {
        return std::span<const uint8_t, kImageBlockSize>(&bytes.at(offset), kImageBlockSize);
    }
};

struct ByteRange {
    uint32_t begin = 0;  // first offset
    uint32_t end = 0;    // one past the last
};

struct ImageLayout {
    uint32_t size = 0;
    bool takesS2 = false;  // S1 is always taken; S0 skipped; S8, S9 end the lines
    // The offset of the record's first data byte, or nothing when the record lies outside
    // the range the image stands for (only its start address is looked at). Data bytes
    // that then fall outside the image are dropped.
    std::optional<int64_t> (*placement)(const SRecordLine&) = nullptr;
    std::span<const ByteRange> summed;
    uint32_t checksumAt = 0;  // bits 15..8 here, 7..0 at the next offset
};

// The image, or the first line the run must not go on with: one that is not a record, an
// unaccepted type, a record with a missing or non-hexadecimal digit in what is read, or a
// record without a hexadecimal checksum pair (the pair is not checked against the data);
// or NoEndRecord when the lines run out before an S8 or S9.
std::variant<FlashImage, LineFault> BuildFlashImage(const std::vector<std::string>& lines,
                                                    const ImageLayout& layout);

}  // namespace device
