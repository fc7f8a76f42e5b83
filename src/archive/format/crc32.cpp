#include "archive/format/crc32.h"

#include <zlib.h>

namespace ziparchive {

uint32_t Crc32(const void* data, size_t size, uint32_t previous) {
    if (size == 0) return previous;
    return static_cast<uint32_t>(crc32_z(previous, static_cast<const Bytef*>(data), size));
}

}  // namespace ziparchive
