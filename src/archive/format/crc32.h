#pragma once
// The zip format's checksum over member data.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ziparchive {

// CRC-32 of `size` bytes, continuing from `previous` (0 to start).
uint32_t Crc32(const void* data, size_t size, uint32_t previous = 0);
inline uint32_t Crc32(std::string_view bytes) { return Crc32(bytes.data(), bytes.size()); }

}  // namespace ziparchive
