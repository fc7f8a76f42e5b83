#pragma once
// Frames as the program sends them, built here from the protocol's rules on their own so
// that the simulator's reading is checked against a second one.
#include <cstdint>
#include <numeric>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline const Bytes kIdentify = {0xAC, 0, 0, 0, 0, 0, 0, 0xAC};
inline const Bytes kStart = {0x88, 0, 0, 0, 0, 0, 0, 0x88};
inline const Bytes kOpening = {0xFF, 0xF8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0xF7};

inline unsigned Sum(const Bytes& b) { return std::accumulate(b.begin(), b.end(), 0u); }

// BB or 77, address (4, MSB first), n, data, then the 16-bit sum of all that.
inline Bytes Addressed(uint8_t command, uint32_t address, const Bytes& data) {
    Bytes f = {
        command,          uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8),
        uint8_t(address), uint8_t(data.size())};
    f = Cat(f, data);
    const unsigned s = Sum(f) & 0xFFFF;
    return Cat(f, {uint8_t(s >> 8), uint8_t(s)});
}
inline Bytes BlockWrite(uint32_t address, const Bytes& data) {
    return Addressed(0xBB, address, data);
}
inline Bytes LoadRecord(uint32_t address, const Bytes& data) {
    return Addressed(0x77, address, data);
}

// 15, count (address, data, checksum), 24-bit address, data, the S2 checksum.
inline Bytes FlashRecord(uint32_t address, const Bytes& data) {
    Bytes body = {uint8_t(data.size() + 4), uint8_t(address >> 16), uint8_t(address >> 8),
                  uint8_t(address)};
    body = Cat(body, data);
    return Cat(Cat({0x15}, body), {uint8_t(~Sum(body))});
}

// Command, address bytes, 64 data bytes, the complemented 8-bit sum of all but the command.
inline Bytes Block64(uint8_t command, const Bytes& address, const Bytes& data) {
    const Bytes body = Cat(address, data);
    return Cat(Cat({command}, body), {uint8_t(~Sum(body))});
}
inline Bytes PageWrite(uint8_t page, uint16_t window, const Bytes& data) {
    return Block64(0x16, {page, uint8_t(window >> 8), uint8_t(window)}, data);
}
inline Bytes GranuloBlock(uint16_t address, const Bytes& data) {
    return Block64(0x15, {uint8_t(address >> 8), uint8_t(address)}, data);
}

inline Bytes Pattern(std::size_t n, uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7);
    return b;
}

}  // namespace simtest
