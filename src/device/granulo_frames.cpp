#include "device/granulo_frames.h"

#include "device/granulo_image.h"

namespace device {

namespace {
constexpr uint8_t kBlockFlashWriteCommand = 0x15;
}  // namespace

Frame BuildGranuloBlockFlashWrite(uint16_t address,
                                  std::span<const uint8_t, kImageBlockSize> data) {
    return BuildSum8Frame({kBlockFlashWriteCommand, static_cast<uint8_t>(address >> 8),
                           static_cast<uint8_t>(address)},
                          data);
}

std::vector<Frame> GranuloBlockFlashWritesFor(const FlashImage& image) {
    std::vector<Frame> frames;
    frames.reserve(image.dataBlocks.size());
    for (const uint32_t offset : image.dataBlocks)
        frames.push_back(BuildGranuloBlockFlashWrite(
            static_cast<uint16_t>(kGranuloImageStart + offset), image.BlockAt(offset)));
    return frames;
}

std::optional<std::string_view> GranuloBootloaderFileFor(uint8_t hardwareCode) {
    if (hardwareCode == 1) return "BLaz60A.prg";
    return std::nullopt;
}

}  // namespace device
