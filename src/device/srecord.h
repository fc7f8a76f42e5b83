#pragma once
// Reading Motorola S-record text lines as the programming runs send them. A character that
// is not a hexadecimal digit where one is expected makes the value, and the line, invalid:
// a run must stop rather than send a wrong number to the device.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace device {

// "0"-"9", "A"-"F", "a"-"f" → 0..15.
std::optional<uint8_t> HexDigit(char ch);
// The first 2, 4 or 6 characters of `text`, most significant digit first; nothing when
// `text` is shorter or holds a non-digit there.
std::optional<uint8_t> HexByte(std::string_view text);
std::optional<uint16_t> HexWord(std::string_view text);
std::optional<uint32_t> HexAddr24(std::string_view text);

struct SRecordLine {
    char type = 0;            // the record type character, "0" to "9"
    uint8_t count = 0;        // S1 and S2 only
    uint32_t address = 0;     // S1: 16 bits, S2: 24 bits
    std::vector<uint8_t> data;
    // The pair after the data; absent when the line ends there. The program forwards it
    // and never verifies it.
    std::optional<uint8_t> checksum;
};

// Reads one line. The first character is not examined. For S1 and S2 the count, address
// and count − 3 (S1) or count − 4 (S2) data bytes are read; other types carry only their
// type (S0 lines are skipped by every sender, S3 and S7 accepted by none). Nothing when
// the line is too short or a required character is not a digit.
std::optional<SRecordLine> ReadSRecordLine(std::string_view line);

}  // namespace device
