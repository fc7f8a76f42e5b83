#pragma once
// Frames written and shown as hexadecimal byte pairs, so that a failing comparison shows
// the bytes ("15 06 00 01").
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace frametest {

// "15 06 00" → the bytes; blanks between pairs are optional.
inline std::string Bytes(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
        i += 2;
    }
    return out;
}

inline std::string Hex(std::string_view bytes) {
    std::string out;
    char pair[4];
    for (const char c : bytes) {
        std::snprintf(pair, sizeof pair, "%s%02X", out.empty() ? "" : " ", static_cast<uint8_t>(c));
        out += pair;
    }
    return out;
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
    return Hex(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// An S1 or S2 line for `data` at `address`, with its correct checksum pair.
inline std::string SRecord(char type, uint32_t address, const std::vector<uint8_t>& data) {
    const int addressBytes = type == '1' ? 2 : 3;
    std::vector<uint8_t> body{static_cast<uint8_t>(addressBytes + data.size() + 1)};
    for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8)
        body.push_back(static_cast<uint8_t>(address >> shift));
    body.insert(body.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (const uint8_t b : body) sum = static_cast<uint8_t>(sum + b);
    body.push_back(static_cast<uint8_t>(~sum));
    std::string hex = Hex(body);
    std::erase(hex, ' ');
    return std::string("S") + type + hex;
}

}  // namespace frametest
