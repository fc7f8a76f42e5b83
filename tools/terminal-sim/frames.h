#pragma once
// The frames a terminal in program mode receives, their checksum rules, and the one parser
// that cuts them out of the received byte stream. The parser is a pure function over the
// bytes gathered so far: it never reads past what a frame of the given kind can hold, and
// anything that cannot start a frame is reported as one byte of garbage so that the caller
// drops it and tries again from the next byte.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace termsim {

using Bytes = std::vector<uint8_t>;

enum class FrameKind : uint8_t {
    Garbage,       // bytes that start no frame
    Identify,      // AC 00 00 00 00 00 00 AC
    Nudge,         // 00, sent after an FF answer
    BlockWrite,    // BB, address (4), n (0..64), data, sum16
    LoadRecord,    // 77, address (4), n, data, sum16
    StartRequest,  // 88 00 00 00 00 00 00 88
    FlashRecord,   // 15, count, address (3), data, S2 checksum
    Finish,        // 35: the last frame of a flash run, the first end byte of a page run
    Opening,       // FF F8, ten bytes, sum16: switches the terminal to its relay path
    PageWrite,     // 16, page, window address (2), 64 data bytes, complemented sum8
    End,           // AF: the second end byte of a page run
    GranuloBlock,  // 15, address (2), 64 data bytes, complemented sum8
    Any,           // not a frame: matches every kind in fault rules
};
inline constexpr std::size_t kFrameKindCount = static_cast<std::size_t>(FrameKind::Any) + 1;

// "identify", "block", "load", ...: the names used in the log and on the command line.
std::string_view FrameKindName(FrameKind kind);
// The kind of a name, or false.
bool FrameKindFromName(std::string_view name, FrameKind& kind);
// Frames the terminal answers with an ack byte (CC or a refusal).
bool AwaitsAck(FrameKind kind);
// Frames whose ack is followed by a done byte ("E" once written).
bool AwaitsDone(FrameKind kind);

// Which frames the terminal understands depends on what runs in it.
enum class FrameSet : uint8_t {
    ResidentLoader,  // identify, nudge, block writes, load records, start request, opening
    RestartOnly,     // only an identify request (the terminal restarted in program mode)
    FlashRecords,    // the RAM bootloader: flash records, finish byte
    GranuloBlocks,   // the Granulo RAM bootloader: 64-byte block flash writes, finish byte
    Relay,           // the relay path: identify, start request, opening, nudge
    Pages,           // the relay path's loader: page writes, the two end bytes
};

inline constexpr uint8_t kAck = 0xCC;
inline constexpr uint8_t kDone = 'E';
inline constexpr uint8_t kFlashReady = 'E';
inline constexpr std::size_t kBlockWriteMaxData = 64;
inline constexpr std::size_t kPageData = 64;
// The longest frame: a load record with 255 data bytes.
inline constexpr std::size_t kMaxFrameBytes = 6 + 255 + 2;

struct ParsedFrame {
    FrameKind kind = FrameKind::Garbage;
    std::size_t length = 0;      // bytes the frame takes, command byte included
    uint32_t address = 0;        // 32-bit (block, load), 24-bit (flash), page << 16 | window
                                 // (page write), 16-bit (Granulo block)
    std::size_t dataOffset = 0;  // where the data (the payload of an opening) lies in the frame
    std::size_t dataLength = 0;
    bool sumOk = true;
};

enum class ParseStatus : uint8_t { NeedMore, Frame, Garbage };

struct ParseResult {
    ParseStatus status = ParseStatus::NeedMore;
    ParsedFrame frame;  // for Frame; for Garbage the first byte is to be dropped
};

// Looks at the bytes received since the last frame. NeedMore is returned only while the
// bytes are a proper prefix of a frame of `set`, so at most kMaxFrameBytes - 1 are ever held.
ParseResult ParseFrame(FrameSet set, std::span<const uint8_t> bytes);

// Checksum rules.
// Block write, load record, opening: the sum of all bytes before it, modulo 65536.
uint16_t Sum16(std::span<const uint8_t> bytes);
// Page write, Granulo block, and (of count, address and data) the S2 record: the 8-bit sum,
// complemented.
uint8_t ComplementedSum8(std::span<const uint8_t> bytes);

}  // namespace termsim
