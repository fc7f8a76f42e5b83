#include "archive/format/byte_source.h"

#include <cstring>

namespace ziparchive {

size_t MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset >= size_) return 0;
    const size_t n = count < size_ - offset ? count : static_cast<size_t>(size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

}  // namespace ziparchive
