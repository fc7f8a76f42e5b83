#include "device/bootloader_frames.h"

#include <stdexcept>

namespace device {

namespace {

constexpr uint8_t kBlockWriteCommand = 0xBB;
constexpr uint8_t kLoadRecordCommand = 0x77;
constexpr uint8_t kFlashRecordCommand = 0x15;

void Put(uint8_t byte, Frame& frame) { frame.push_back(static_cast<char>(byte)); }

void PutSum16(Frame& frame) {
    const uint16_t sum = Sum16(frame);
    Put(static_cast<uint8_t>(sum >> 8), frame);
    Put(static_cast<uint8_t>(sum), frame);
}

// Command byte, six 00, command byte again.
Frame Request(uint8_t command) {
    Frame frame(8, '\0');
    frame.front() = frame.back() = static_cast<char>(command);
    return frame;
}

}  // namespace

void PutAddress32(uint32_t value, Frame& frame) {
    for (int shift = 24; shift >= 0; shift -= 8) Put(static_cast<uint8_t>(value >> shift), frame);
}

uint16_t Sum16(std::string_view bytes) {
    uint16_t sum = 0;
    for (const char c : bytes) sum = static_cast<uint16_t>(sum + static_cast<uint8_t>(c));
    return sum;
}

uint8_t ComplementedSum8(std::string_view bytes) { return static_cast<uint8_t>(~Sum16(bytes)); }

Frame BuildSum8Frame(std::initializer_list<uint8_t> head, std::span<const uint8_t> data) {
    Frame frame(head.begin(), head.end());
    frame.append(data.begin(), data.end());
    Put(ComplementedSum8(std::string_view(frame).substr(1)), frame);
    return frame;
}

Frame IdentifyRequest() { return Request(0xAC); }
Frame StartRequest() { return Request(0x88); }

Frame BuildBlockWrite(uint32_t address, std::string_view data) {
    if (data.size() > kBlockWriteMaxData) throw std::length_error("block write over 64 bytes");
    Frame frame;
    frame.reserve(data.size() + 8);
    Put(kBlockWriteCommand, frame);
    PutAddress32(address, frame);
    Put(static_cast<uint8_t>(data.size()), frame);
    frame.append(data);
    PutSum16(frame);
    return frame;
}

std::vector<Frame> BlockWritesFor(std::string_view member, uint32_t address) {
    std::vector<Frame> frames;
    size_t at = 0;
    do {
        const std::string_view block = member.substr(at, kBlockWriteMaxData);
        frames.push_back(BuildBlockWrite(address + static_cast<uint32_t>(at), block));
        at += block.size();
    } while (at < member.size());
    return frames;
}

Frame BuildLoadRecord(const SRecordLine& s1) {
    Frame frame;
    frame.reserve(s1.data.size() + 8);
    Put(kLoadRecordCommand, frame);
    PutAddress32(s1.address & 0xFFFF, frame);
    Put(static_cast<uint8_t>(s1.data.size()), frame);
    frame.append(s1.data.begin(), s1.data.end());
    PutSum16(frame);
    return frame;
}

std::variant<Frame, RecordFault> BuildFlashRecord(const SRecordLine& record) {
    if (record.type != '1' && record.type != '2') return RecordFault::UnacceptedType;
    if (!record.checksum) return RecordFault::NoChecksumPair;
    const bool s1 = record.type == '1';
    if (s1 && record.count == 0xFF) return RecordFault::TooLong;
    Frame frame;
    frame.reserve(record.data.size() + 6);
    Put(kFlashRecordCommand, frame);
    Put(static_cast<uint8_t>(record.count + (s1 ? 1 : 0)), frame);
    for (int shift = 16; shift >= 0; shift -= 8)
        Put(static_cast<uint8_t>(record.address >> shift), frame);
    frame.append(record.data.begin(), record.data.end());
    Put(static_cast<uint8_t>(*record.checksum - (s1 ? 1 : 0)), frame);
    return frame;
}

std::optional<FlashWindow> FlashWindowFor(uint8_t hardwareCode) {
    switch (hardwareCode) {
        case 1:
        case 2:
            return FlashWindow{0x00000, 0x1E000};
        case 3:
            return FlashWindow{0x20000, 0x1E000};
        default:
            return std::nullopt;
    }
}

std::optional<std::string_view> BootloaderFileFor(uint8_t hardwareCode) {
    switch (hardwareCode) {
        case 1:
            return "BLdg128.prg";
        case 2:
            return "BLdg128A.prg";
        case 3:
            return "BLS12G128.prg";
        default:
            return std::nullopt;
    }
}

}  // namespace device
