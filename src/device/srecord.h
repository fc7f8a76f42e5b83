#pragma once
// Reading Motorola S-record text lines as the programming runs send them. A character that
// is not a hexadecimal digit where one is read makes the value, and the line, invalid: a
// run must stop rather than send a wrong number to the device.
#include <cstddef>
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
    char type = 0;         // the record type character, "0" to "9"
    uint8_t count = 0;     // S1 and S2 only
    uint32_t address = 0;  // S1: 16 bits, S2: 24 bits
    std::vector<uint8_t> data;
    // The pair after the data when it is two hexadecimal digits. Only the flash record
    // forwards it (the device checks it there); the RAM loader and the images never read
    // it, so a line without a usable pair is still a line for them.
    std::optional<uint8_t> checksum;
};

// The record type character, the second of the line (the first is not examined); nothing
// when it is not a decimal digit.
std::optional<char> RecordTypeOf(std::string_view line);

// Reads one line. For S1 and S2 the count, address and count − 3 (S1) or count − 4 (S2)
// data bytes are read; other types carry only their type (S0 lines are skipped by every
// sender, S3 and S7 accepted by none). Nothing when the line has no type digit, or when
// a count, address or data character is missing or not a digit.
std::optional<SRecordLine> ReadSRecordLine(std::string_view line);

// Why a sender cannot use a line. The runs map each to their own message or error code.
enum class RecordFault {
    NotARecord,      // no record type digit
    UnacceptedType,  // a record type this sender does not take
    Unreadable,      // a count, address or data character missing or not a digit
    NoChecksumPair,  // a flash record forwards the pair, so it must be there
    TooLong,         // an S1 record of count FF: its S2 count would not fit in a byte
    NoEndRecord,     // the lines ran out before the record that ends them
};

struct LineFault {
    RecordFault fault;
    size_t line;  // 0-based index of the line; the number of lines for NoEndRecord
    bool operator==(const LineFault&) const = default;
};

}  // namespace device
