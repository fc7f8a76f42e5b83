#include "device/tessara_frames.h"

#include "device/tessara_image.h"

namespace device {

namespace {
constexpr uint8_t kPageWriteCommand = 0x16;
}  // namespace

Frame TessaraOpeningMessage() {
    Frame frame(12, '\0');
    frame[0] = static_cast<char>(0xFF);
    frame[1] = static_cast<char>(0xF8);
    const uint16_t sum = Sum16(frame);
    frame.push_back(static_cast<char>(sum >> 8));
    frame.push_back(static_cast<char>(sum));
    return frame;
}

bool IsTessaraPathReply(uint8_t reply) { return reply == 0xC8 || reply == 0x01; }

Frame BuildTessaraPageWrite(uint8_t page, uint16_t windowAddress,
                            std::span<const uint8_t, kImageBlockSize> data) {
    return BuildSum8Frame({kPageWriteCommand, page, static_cast<uint8_t>(windowAddress >> 8),
                           static_cast<uint8_t>(windowAddress)},
                          data);
}

std::vector<Frame> TessaraPageWritesFor(const FlashImage& image) {
    std::vector<Frame> frames;
    frames.reserve(image.dataBlocks.size());
    for (const uint32_t offset : image.dataBlocks) {
        const auto page = static_cast<uint8_t>(kTessaraFirstPage + offset / kTessaraPageSize);
        const auto window = static_cast<uint16_t>(kTessaraWindow + offset % kTessaraPageSize);
        frames.push_back(BuildTessaraPageWrite(page, window, image.BlockAt(offset)));
    }
    return frames;
}

}  // namespace device
