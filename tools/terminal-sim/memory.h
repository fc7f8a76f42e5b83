#pragma once
// What the terminal's memories hold after the frames it accepted: sparse areas written by
// address (block writes, the RAM loader, flash records) and the two fixed-size images of
// the page and Granulo runs, with the layout and checksum rules of each.
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>

#include "frames.h"

namespace termsim {

// Bytes written at addresses; contiguous writes join into one segment.
class SparseMemory {
  public:
    // A terminal's memories are small; a flood of writes to scattered addresses stops here,
    // by the bytes held and by the number of separate pieces they lie in.
    static constexpr std::size_t kMaxBytes = 16u << 20;
    static constexpr std::size_t kMaxSegments = 4096;

    // False (and nothing written) when the memory would grow beyond kMaxBytes or
    // kMaxSegments.
    bool Write(uint64_t address, std::span<const uint8_t> bytes);
    // [address, address + size), `fill` where nothing was written.
    Bytes Read(uint64_t address, std::size_t size, uint8_t fill = 0xFF) const;
    // Segment start → bytes, in address order; no two segments touch.
    const std::map<uint64_t, Bytes>& Segments() const { return segments_; }
    bool Empty() const { return segments_.empty(); }
    std::size_t Size() const { return size_; }

  private:
    std::map<uint64_t, Bytes> segments_;
    std::size_t size_ = 0;
};

// The flash that flash records may fill, by the hardware code the terminal reports.
struct FlashWindow {
    uint32_t start = 0;
    uint32_t size = 0;
    bool Contains(uint32_t address) const { return address >= start && address - start < size; }
};
FlashWindow FlashWindowFor(uint8_t hardwareCode);

// Page runs: pages 0x30..0x3F, each seen through the window 0x8000..0xBFFF, laid end to end;
// the image stops at page 0x3F, window address 0x9FFF.
inline constexpr std::size_t kPageImageSize = 0x3E000;
// Where the 64 bytes of a page write (page << 16 | window address) start in the image, or
// false when they do not lie inside it.
bool PageImageOffset(uint32_t pageAndWindow, std::size_t& offset);

// Granulo runs: addresses 0x0580..0xF5FF.
inline constexpr uint32_t kGranuloBase = 0x0580;
inline constexpr std::size_t kGranuloImageSize = 0xF080;
bool GranuloImageOffset(uint32_t address, std::size_t& offset);

// Each image carries the complement of the 32-bit sum of its checked ranges in its last
// bytes: bits 15..8, then bits 7..0. These compute that value from an image and tell
// whether the image holds it where it belongs.
uint16_t PageImageChecksum(std::span<const uint8_t> image);
bool PageImageChecksumStored(std::span<const uint8_t> image);
uint16_t GranuloImageChecksum(std::span<const uint8_t> image);
bool GranuloImageChecksumStored(std::span<const uint8_t> image);

}  // namespace termsim
