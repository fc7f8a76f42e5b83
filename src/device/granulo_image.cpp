#include "device/granulo_image.h"

namespace device {

namespace {

constexpr ByteRange kSummed[] = {{0x0000, 0x0080}, {0x0880, 0xF040}};
constexpr uint32_t kChecksumAt = 0xF040;

std::optional<int64_t> GranuloOffset(const SRecordLine& record) {
    if (record.address < kGranuloImageStart ||
        record.address - kGranuloImageStart >= kGranuloImageSize)
        return std::nullopt;
    return record.address - kGranuloImageStart;
}

}  // namespace

std::variant<FlashImage, LineFault> BuildGranuloImage(const std::vector<std::string>& lines) {
    static const ImageLayout layout{kGranuloImageSize, false, &GranuloOffset, kSummed, kChecksumAt};
    return BuildFlashImage(lines, layout);
}

}  // namespace device
