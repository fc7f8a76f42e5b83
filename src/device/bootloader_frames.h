#pragma once
// The frames of the terminal's bootloader protocol, the bytes it answers with, and what
// the hardware code decides. Numbers in frames go most significant byte first.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "device/srecord.h"

namespace device {

// A frame as the serial port sends it: a byte string.
using Frame = std::string;

// Awaited after a block write, a load record, a flash record and the Tessara and Granulo
// page writes: any other byte is a checksum refusal, and 00 counts as no reply.
inline constexpr uint8_t kAck = 0xCC;
// The started RAM bootloader's "flash erased, send records", and the "record written"
// after an acknowledged flash record or page write.
inline constexpr uint8_t kFlashReady = 'E';
inline constexpr uint8_t kDone = 'E';
// Sent after an identify reply FF with nothing behind it.
inline constexpr uint8_t kIdentifyNudge = 0x00;
// Ends the flash records (and the Granulo blocks); nothing is awaited.
inline constexpr uint8_t kFinishByte = '5';
// Refusals one string of block writes, one loader, or one flash record may draw; the
// next refusal ends the step.
inline constexpr int kRefusalBudget = 20;
inline constexpr size_t kBlockWriteMaxData = 64;

// Appends `value` as 4 bytes, most significant first.
void PutAddress32(uint32_t value, Frame& frame);
// The sum of the bytes, each 0..255, modulo 65536.
uint16_t Sum16(std::string_view bytes);
// The sum of the bytes modulo 256, all bits inverted: the Tessara and Granulo page checks.
uint8_t ComplementedSum8(std::string_view bytes);
// `head` (a command byte and an address), `data`, and ComplementedSum8 of everything
// after the command byte: the shape of the Tessara and Granulo page frames.
Frame BuildSum8Frame(std::initializer_list<uint8_t> head, std::span<const uint8_t> data);

// AC 00 00 00 00 00 00 AC: answered by the hardware code (and by the Tessara path).
Frame IdentifyRequest();
// 88 00 00 00 00 00 00 88: starts the loaded RAM bootloader, which answers kFlashReady
// once it has erased the flash.
Frame StartRequest();

// BB, address, n, the n bytes, sum16 of everything before it. `data` holds at most
// kBlockWriteMaxData bytes; more is a caller's mistake and throws std::length_error.
Frame BuildBlockWrite(uint32_t address, std::string_view data);
// A member's bytes as block writes of 64 bytes and a shorter last one, at `address`,
// +64, ... . An empty member is one block write of no bytes.
std::vector<Frame> BlockWritesFor(std::string_view member, uint32_t address);

// 77, the S1 record's 16-bit address as 4 bytes, its data length, its data, sum16.
Frame BuildLoadRecord(const SRecordLine& s1);

// 15, then the S1 or S2 record re-expressed as S2: count (S1: count + 1), 3 address
// bytes (S1: 00 and its two), the data, the record's checksum (S1: minus 1, which is the
// S2 checksum of the same data). The device checks the checksum, so a record without its
// pair cannot be sent; nor an S1 of count FF, whose S2 count would not fit.
std::variant<Frame, RecordFault> BuildFlashRecord(const SRecordLine& record);

// Where the flash records of a hardware code may start: [start, start + size).
struct FlashWindow {
    uint32_t start = 0;
    uint32_t size = 0;
    bool Holds(uint32_t address) const { return address >= start && address - start < size; }
    bool operator==(const FlashWindow&) const = default;
};
std::optional<FlashWindow> FlashWindowFor(uint8_t hardwareCode);

// The RAM bootloader file (in the program folder) of a hardware code; nothing for a
// code the program does not know.
std::optional<std::string_view> BootloaderFileFor(uint8_t hardwareCode);

}  // namespace device
