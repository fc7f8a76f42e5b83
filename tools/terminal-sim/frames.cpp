#include "frames.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "name_table.h"

namespace termsim {

namespace {

constexpr std::array<std::string_view, kFrameKindCount> kKindNames = {
    "garbage", "identify", "nudge", "block", "load",    "start", "flash",
    "finish",  "opening",  "page",  "end",   "granulo", "any",
};

constexpr std::array<uint8_t, 8> kIdentify = {0xAC, 0, 0, 0, 0, 0, 0, 0xAC};
constexpr std::array<uint8_t, 8> kStart = {0x88, 0, 0, 0, 0, 0, 0, 0x88};
constexpr uint8_t kOpeningSecond = 0xF8;
constexpr std::size_t kOpeningLength = 14;

// The command byte decides the kind; 15 means a different frame to each bootloader.
FrameKind KindOf(FrameSet set, uint8_t command) {
    switch (set) {
        case FrameSet::ResidentLoader:
            switch (command) {
                case 0xAC:
                    return FrameKind::Identify;
                case 0x00:
                    return FrameKind::Nudge;
                case 0xBB:
                    return FrameKind::BlockWrite;
                case 0x77:
                    return FrameKind::LoadRecord;
                case 0x88:
                    return FrameKind::StartRequest;
                case 0xFF:
                    return FrameKind::Opening;
            }
            break;
        case FrameSet::RestartOnly:
            if (command == 0xAC) return FrameKind::Identify;
            break;
        case FrameSet::FlashRecords:
        case FrameSet::GranuloBlocks:
            switch (command) {
                case 0xAC:
                    return FrameKind::Identify;
                case 0x35:
                    return FrameKind::Finish;
                case 0x15:
                    return set == FrameSet::FlashRecords ? FrameKind::FlashRecord
                                                         : FrameKind::GranuloBlock;
            }
            break;
        case FrameSet::Relay:
            switch (command) {
                case 0xAC:
                    return FrameKind::Identify;
                case 0x00:
                    return FrameKind::Nudge;
                case 0x88:
                    return FrameKind::StartRequest;
                case 0xFF:
                    return FrameKind::Opening;
            }
            break;
        case FrameSet::Pages:
            switch (command) {
                case 0xAC:
                    return FrameKind::Identify;
                case 0x16:
                    return FrameKind::PageWrite;
                case 0x35:
                    return FrameKind::Finish;
                case 0xAF:
                    return FrameKind::End;
            }
            break;
    }
    return FrameKind::Garbage;
}

ParseResult Garbage() { return {ParseStatus::Garbage, {}}; }
ParseResult NeedMore() { return {ParseStatus::NeedMore, {}}; }

ParseResult Complete(ParsedFrame frame) { return {ParseStatus::Frame, frame}; }

ParseResult FixedPattern(FrameKind kind, std::span<const uint8_t> pattern,
                         std::span<const uint8_t> bytes) {
    const std::size_t n = std::min(bytes.size(), pattern.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (bytes[i] != pattern[i]) return Garbage();
    }
    if (bytes.size() < pattern.size()) return NeedMore();
    ParsedFrame f;
    f.kind = kind;
    f.length = pattern.size();
    return Complete(f);
}

uint32_t BigEndian(std::span<const uint8_t> bytes) {
    uint32_t v = 0;
    for (const uint8_t b : bytes) v = (v << 8) | b;
    return v;
}

// BB or 77: address (4), n, data, sum16 over everything before the sum.
ParseResult AddressedBlock(FrameKind kind, std::size_t maxData, std::span<const uint8_t> bytes) {
    constexpr std::size_t kHeader = 6;
    if (bytes.size() < kHeader) return NeedMore();
    const std::size_t n = bytes[5];
    if (n > maxData) return Garbage();
    const std::size_t length = kHeader + n + 2;
    if (bytes.size() < length) return NeedMore();
    ParsedFrame f;
    f.kind = kind;
    f.length = length;
    f.address = BigEndian(bytes.subspan(1, 4));
    f.dataOffset = kHeader;
    f.dataLength = n;
    f.sumOk = Sum16(bytes.first(kHeader + n)) == BigEndian(bytes.subspan(kHeader + n, 2));
    return Complete(f);
}

ParseResult Opening(std::span<const uint8_t> bytes) {
    if (bytes.size() >= 2 && bytes[1] != kOpeningSecond) return Garbage();
    if (bytes.size() < kOpeningLength) return NeedMore();
    ParsedFrame f;
    f.kind = FrameKind::Opening;
    f.length = kOpeningLength;
    f.dataOffset = 2;
    f.dataLength = kOpeningLength - 4;
    f.sumOk = Sum16(bytes.first(kOpeningLength - 2)) == BigEndian(bytes.subspan(12, 2));
    return Complete(f);
}

// 15, count, address (3), data, checksum: count covers the address, the data and the
// checksum, so a count below 4 cannot be a record.
ParseResult FlashRecord(std::span<const uint8_t> bytes) {
    if (bytes.size() < 2) return NeedMore();
    const std::size_t count = bytes[1];
    if (count < 4) return Garbage();
    const std::size_t length = 2 + count;
    if (bytes.size() < length) return NeedMore();
    ParsedFrame f;
    f.kind = FrameKind::FlashRecord;
    f.length = length;
    f.address = BigEndian(bytes.subspan(2, 3));
    f.dataOffset = 5;
    f.dataLength = count - 4;
    f.sumOk = ComplementedSum8(bytes.subspan(1, length - 2)) == bytes[length - 1];
    return Complete(f);
}

// Command, address (`addressBytes`), 64 data bytes, complemented sum8 of all but the command.
ParseResult FixedBlock(FrameKind kind, std::size_t addressBytes, std::span<const uint8_t> bytes) {
    const std::size_t length = 1 + addressBytes + kPageData + 1;
    if (bytes.size() < length) return NeedMore();
    ParsedFrame f;
    f.kind = kind;
    f.length = length;
    f.address = BigEndian(bytes.subspan(1, addressBytes));
    f.dataOffset = 1 + addressBytes;
    f.dataLength = kPageData;
    f.sumOk = ComplementedSum8(bytes.subspan(1, length - 2)) == bytes[length - 1];
    return Complete(f);
}

ParseResult SingleByte(FrameKind kind) {
    ParsedFrame f;
    f.kind = kind;
    f.length = 1;
    return Complete(f);
}

}  // namespace

std::string_view FrameKindName(FrameKind kind) { return NameOf(kKindNames, kind); }

bool FrameKindFromName(std::string_view name, FrameKind& kind) {
    return ValueOf(kKindNames, name, kind);
}

bool AwaitsAck(FrameKind kind) {
    switch (kind) {
        case FrameKind::BlockWrite:
        case FrameKind::LoadRecord:
        case FrameKind::FlashRecord:
        case FrameKind::PageWrite:
        case FrameKind::GranuloBlock:
            return true;
        default:
            return false;
    }
}

bool AwaitsDone(FrameKind kind) {
    return kind == FrameKind::FlashRecord || kind == FrameKind::PageWrite ||
           kind == FrameKind::GranuloBlock;
}

ParseResult ParseFrame(FrameSet set, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return NeedMore();
    const FrameKind kind = KindOf(set, bytes[0]);
    switch (kind) {
        case FrameKind::Identify:
            return FixedPattern(kind, kIdentify, bytes);
        case FrameKind::StartRequest:
            return FixedPattern(kind, kStart, bytes);
        case FrameKind::BlockWrite:
            return AddressedBlock(kind, kBlockWriteMaxData, bytes);
        case FrameKind::LoadRecord:
            return AddressedBlock(kind, 255, bytes);
        case FrameKind::Opening:
            return Opening(bytes);
        case FrameKind::FlashRecord:
            return FlashRecord(bytes);
        case FrameKind::GranuloBlock:
            return FixedBlock(kind, 2, bytes);
        case FrameKind::PageWrite:
            return FixedBlock(kind, 3, bytes);
        case FrameKind::Nudge:
        case FrameKind::Finish:
        case FrameKind::End:
            return SingleByte(kind);
        default:
            return Garbage();
    }
}

uint16_t Sum16(std::span<const uint8_t> bytes) {
    return static_cast<uint16_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

uint8_t ComplementedSum8(std::span<const uint8_t> bytes) {
    return static_cast<uint8_t>(~std::accumulate(bytes.begin(), bytes.end(), 0u));
}

}  // namespace termsim
