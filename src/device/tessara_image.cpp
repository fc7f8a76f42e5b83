#include "device/tessara_image.h"

namespace device {

namespace {

constexpr ByteRange kSummed[] = {{0x00000, 0x30000}, {0x38000, 0x3DFFE}};
constexpr uint32_t kChecksumAt = 0x3DFFE;

std::optional<int64_t> TessaraOffset(const SRecordLine& record) {
    uint32_t address = record.address;
    if (record.type == '1') {
        if (address < 0x4000) return std::nullopt;
        if (address < 0x8000)
            address += 0x3E4000;
        else if (address >= 0xC000)
            address += 0x3EC000;
    }
    if (address < kTessaraLowest || address > kTessaraHighest) return std::nullopt;
    const int64_t page = address >> 16;
    const int64_t window = address & 0xFFFF;
    return (page - kTessaraFirstPage) * kTessaraPageSize + (window - kTessaraWindow);
}

}  // namespace

std::variant<FlashImage, LineFault> BuildTessaraImage(const std::vector<std::string>& lines) {
    static const ImageLayout layout{kTessaraImageSize, true, &TessaraOffset, kSummed, kChecksumAt};
    return BuildFlashImage(lines, layout);
}

}  // namespace device
