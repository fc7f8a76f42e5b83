#include "device/flash_image.h"

#include <algorithm>

namespace device {

namespace {

void WriteInside(std::vector<uint8_t>& image, int64_t offset, const std::vector<uint8_t>& data) {
    const int64_t size = static_cast<int64_t>(image.size());
    for (size_t i = 0; i < data.size(); ++i) {
        const int64_t at = offset + static_cast<int64_t>(i);
        if (at >= 0 && at < size) image[static_cast<size_t>(at)] = data[i];
    }
}

void StoreChecksum(FlashImage& image, const ImageLayout& layout) {
    uint32_t sum = 0;
    for (const ByteRange& range : layout.summed)
        for (uint32_t at = range.begin; at < range.end; ++at) sum += image.bytes[at];
    image.checksum = ~sum;
    image.bytes[layout.checksumAt] = static_cast<uint8_t>(image.checksum >> 8);
    image.bytes[layout.checksumAt + 1] = static_cast<uint8_t>(image.checksum);
}

std::vector<uint32_t> BlocksHoldingData(const std::vector<uint8_t>& bytes) {
    std::vector<uint32_t> blocks;
    for (size_t at = 0; at + kImageBlockSize <= bytes.size(); at += kImageBlockSize) {
        const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(at);
        if (std::any_of(begin, begin + kImageBlockSize, [](uint8_t b) { return b != kErased; }))
            blocks.push_back(static_cast<uint32_t>(at));
    }
    return blocks;
}

FlashImage Finished(FlashImage&& image, const ImageLayout& layout) {
    StoreChecksum(image, layout);
    image.dataBlocks = BlocksHoldingData(image.bytes);
    return std::move(image);
}

}  // namespace

std::variant<FlashImage, LineFault> BuildFlashImage(const std::vector<std::string>& lines,
                                                    const ImageLayout& layout) {
    FlashImage image;
    image.bytes.assign(layout.size, kErased);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<char> type = RecordTypeOf(lines[i]);
        if (!type) return LineFault{RecordFault::NotARecord, i};
        if (*type == '0') continue;
        if (*type == '8' || *type == '9') return Finished(std::move(image), layout);
        if (*type != '1' && !(*type == '2' && layout.takesS2))
            return LineFault{RecordFault::UnacceptedType, i};
        const std::optional<SRecordLine> record = ReadSRecordLine(lines[i]);
        if (!record) return LineFault{RecordFault::Unreadable, i};
        // A line without a readable pair may be cut or damaged where nothing else shows
        // it; the whole image is refused before any block goes out.
        if (!record->checksum) return LineFault{RecordFault::NoChecksumPair, i};
        if (const std::optional<int64_t> offset = layout.placement(*record))
            WriteInside(image.bytes, *offset, record->data);
    }
    // Lines that stop short of their end record are a cut file: what they hold is not the
    // whole firmware, however well the image's own checksum would match it.
    return LineFault{RecordFault::NoEndRecord, lines.size()};
}

}  // namespace device
