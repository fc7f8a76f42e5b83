#include "device/granulo_frames.h"

#include "device/granulo_image.h"

namespace device {

namespace {
constexpr uint8_t kBlockFlashWriteCommand = 0x15;
}  // namespace

Frame BuildGranuloBlockFlashWrite(uint16_t address,
                                  std::span<const uint8_t, kImageBlockSize> data) {
    Frame frame;
    frame.reserve(kImageBlockSize + 4);
    frame.push_back(static_cast<char>(kBlockFlashWriteCommand));
    frame.push_back(static_cast<char>(address >> 8));
    frame.push_back(static_cast<char>(address));
    frame.append(data.begin(), data.end());
    frame.push_back(static_cast<char>(ComplementedSum8(std::string_view(frame).substr(1))));
    return frame;
}

std::vector<Frame> GranuloBlockFlashWritesFor(const FlashImage& image) {
    std::vector<Frame> frames;
    frames.reserve(image.dataBlocks.size());
    for (const uint32_t offset : image.dataBlocks)
        frames.push_back(BuildGranuloBlockFlashWrite(
            static_cast<uint16_t>(kGranuloImageStart + offset),
            std::span<const uint8_t, kImageBlockSize>(&image.bytes[offset], kImageBlockSize)));
    return frames;
}

std::optional<std::string_view> GranuloBootloaderFileFor(uint8_t hardwareCode) {
    if (hardwareCode == 1) return "BLaz60A.prg";
    return std::nullopt;
}

}  // namespace device
