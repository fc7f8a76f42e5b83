#include "memory.h"

#include <algorithm>
#include <iterator>

namespace termsim {

bool SparseMemory::Write(uint64_t address, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return true;
    const uint64_t end = address + bytes.size();
    auto first = segments_.upper_bound(address);
    if (first != segments_.begin()) {
        auto before = std::prev(first);
        if (before->first + before->second.size() >= address) first = before;
    }
    // Every segment from `first` that starts no later than `end` touches the new bytes.
    auto last = first;
    while (last != segments_.end() && last->first <= end) ++last;

    if (first == last) {
        if (size_ + bytes.size() > kMaxBytes || segments_.size() >= kMaxSegments) return false;
        segments_.emplace(address, Bytes(bytes.begin(), bytes.end()));
        size_ += bytes.size();
        return true;
    }
    // The common case: the next bytes of a run of sequential writes.
    if (std::next(first) == last && first->first <= address) {
        Bytes& seg = first->second;
        const std::size_t at = address - first->first;
        if (at + bytes.size() > seg.size()) {
            const std::size_t growth = at + bytes.size() - seg.size();
            if (size_ + growth > kMaxBytes) return false;
            seg.resize(at + bytes.size());
            size_ += growth;
        }
        std::copy(bytes.begin(), bytes.end(), seg.begin() + static_cast<std::ptrdiff_t>(at));
        return true;
    }
    const uint64_t start = std::min(address, first->first);
    uint64_t stop = end;
    std::size_t replaced = 0;
    for (auto it = first; it != last; ++it) {
        stop = std::max(stop, it->first + it->second.size());
        replaced += it->second.size();
    }
    if (size_ - replaced + (stop - start) > kMaxBytes) return false;
    Bytes merged(stop - start);
    for (auto it = first; it != last; ++it) {
        std::copy(it->second.begin(), it->second.end(),
                  merged.begin() + static_cast<std::ptrdiff_t>(it->first - start));
    }
    std::copy(bytes.begin(), bytes.end(),
              merged.begin() + static_cast<std::ptrdiff_t>(address - start));
    segments_.erase(first, last);
    size_ = size_ - replaced + merged.size();
    segments_.emplace(start, std::move(merged));
    return true;
}

Bytes SparseMemory::Read(uint64_t address, std::size_t size, uint8_t fill) const {
    Bytes out(size, fill);
    const uint64_t end = address + size;
    auto it = segments_.upper_bound(address);
    if (it != segments_.begin()) --it;
    for (; it != segments_.end() && it->first < end; ++it) {
        const uint64_t segEnd = it->first + it->second.size();
        const uint64_t from = std::max(address, it->first);
        const uint64_t to = std::min(end, segEnd);
        for (uint64_t a = from; a < to; ++a) out[a - address] = it->second[a - it->first];
    }
    return out;
}

FlashWindow FlashWindowFor(uint8_t hardwareCode) {
    return hardwareCode == 3 ? FlashWindow{0x20000, 0x1E000} : FlashWindow{0x00000, 0x1E000};
}

namespace {

constexpr uint32_t kFirstPage = 0x30;
constexpr uint32_t kPageWindow = 0x8000;
constexpr uint32_t kPageSize = 0x4000;

// The complement of the 32-bit sum of image[r.first .. r.second), over all ranges.
uint16_t ComplementedSum(std::span<const uint8_t> image,
                         std::initializer_list<std::pair<std::size_t, std::size_t>> ranges) {
    uint32_t sum = 0;
    for (const auto& [from, to] : ranges) {
        for (std::size_t i = from; i < to && i < image.size(); ++i) sum += image[i];
    }
    return static_cast<uint16_t>(~sum);
}

bool StoredAt(std::span<const uint8_t> image, std::size_t at, uint16_t value) {
    return image.size() >= at + 2 && image[at] == (value >> 8) && image[at + 1] == (value & 0xFF);
}

}  // namespace

bool PageImageOffset(uint32_t pageAndWindow, std::size_t& offset) {
    const uint32_t page = pageAndWindow >> 16;
    const uint32_t window = pageAndWindow & 0xFFFF;
    if (page < kFirstPage || window < kPageWindow || window + kPageData > kPageWindow + kPageSize)
        return false;
    offset = (page - kFirstPage) * kPageSize + (window - kPageWindow);
    return offset + kPageData <= kPageImageSize;
}

bool GranuloImageOffset(uint32_t address, std::size_t& offset) {
    if (address < kGranuloBase) return false;
    offset = address - kGranuloBase;
    return offset + kPageData <= kGranuloImageSize;
}

// Pages 0x3C and 0x3D (offsets 0x30000..0x37FFF) and the checksum itself are not summed.
uint16_t PageImageChecksum(std::span<const uint8_t> image) {
    return ComplementedSum(image, {{0x00000, 0x30000}, {0x38000, 0x3DFFE}});
}

bool PageImageChecksumStored(std::span<const uint8_t> image) {
    return StoredAt(image, 0x3DFFE, PageImageChecksum(image));
}

// Addresses 0x0600..0x0DFF and 0xF5C0..0xF5FF (the checksum's block) are not summed.
uint16_t GranuloImageChecksum(std::span<const uint8_t> image) {
    return ComplementedSum(image, {{0x0000, 0x0080}, {0x0880, 0xF040}});
}

bool GranuloImageChecksumStored(std::span<const uint8_t> image) {
    return StoredAt(image, 0xF040, GranuloImageChecksum(image));
}

}  // namespace termsim
