#include "device/srecord.h"

namespace device {

namespace {

template <typename T>
std::optional<T> HexDigits(std::string_view text, size_t digits) {
    if (text.size() < digits) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < digits; ++i) {
        const std::optional<uint8_t> d = HexDigit(text[i]);
        if (!d) return std::nullopt;
        value = (value << 4) | *d;
    }
    return static_cast<T>(value);
}

// Characters 3-4 count, 5.. address; positions here are 0-based.
constexpr size_t kCountAt = 2;
constexpr size_t kAddressAt = 4;

}  // namespace

std::optional<uint8_t> HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(ch - '0');
    if (ch >= 'A' && ch <= 'F') return static_cast<uint8_t>(ch - 'A' + 10);
    if (ch >= 'a' && ch <= 'f') return static_cast<uint8_t>(ch - 'a' + 10);
    return std::nullopt;
}

std::optional<uint8_t> HexByte(std::string_view text) { return HexDigits<uint8_t>(text, 2); }
std::optional<uint16_t> HexWord(std::string_view text) { return HexDigits<uint16_t>(text, 4); }
std::optional<uint32_t> HexAddr24(std::string_view text) { return HexDigits<uint32_t>(text, 6); }

std::optional<char> RecordTypeOf(std::string_view line) {
    if (line.size() < 2 || line[1] < '0' || line[1] > '9') return std::nullopt;
    return line[1];
}

std::optional<SRecordLine> ReadSRecordLine(std::string_view line) {
    const std::optional<char> type = RecordTypeOf(line);
    if (!type) return std::nullopt;
    SRecordLine rec;
    rec.type = *type;
    if (rec.type != '1' && rec.type != '2') return rec;

    const size_t addressDigits = rec.type == '1' ? 4 : 6;
    const size_t countOverhead = addressDigits / 2 + 1;  // address bytes and checksum
    const std::optional<uint8_t> count = HexByte(line.substr(kCountAt));
    if (!count || *count < countOverhead) return std::nullopt;
    rec.count = *count;
    const std::optional<uint32_t> address =
        rec.type == '1' ? std::optional<uint32_t>(HexWord(line.substr(kAddressAt)))
                        : HexAddr24(line.substr(kAddressAt));
    if (!address) return std::nullopt;
    rec.address = *address;

    const size_t dataBytes = rec.count - countOverhead;
    size_t at = kAddressAt + addressDigits;
    rec.data.reserve(dataBytes);
    for (size_t i = 0; i < dataBytes; ++i, at += 2) {
        const std::optional<uint8_t> b = at < line.size() ? HexByte(line.substr(at)) : std::nullopt;
        if (!b) return std::nullopt;
        rec.data.push_back(*b);
    }
    if (at < line.size()) rec.checksum = HexByte(line.substr(at));
    return rec;
}

}  // namespace device
