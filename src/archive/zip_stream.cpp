#include "archive/zip_stream.h"

#include <cstring>
#include <new>

namespace ziparchive {

size_t TZipStream::Read(void* buffer, size_t count) {
    if (position_ >= size_) return 0;
    const size_t n = count < size_ - position_ ? count : static_cast<size_t>(size_ - position_);
    std::memcpy(buffer, data_.get() + position_, n);
    position_ += n;
    return n;
}

bool TZipStream::ReadByte(uint8_t& byte) { return Read(&byte, 1) == 1; }

bool TZipStream::SetSize(uint64_t size) {
    if (size > capacity_) {
        if (size > SIZE_MAX) return false;
        std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
        if (!bigger) return false;
        if (size_ > 0) std::memcpy(bigger.get(), data_.get(), static_cast<size_t>(size_));
        data_ = std::move(bigger);
        capacity_ = size;
    }
    size_ = size;
    return true;
}

void TZipStream::Clear() {
    size_ = 0;
    position_ = 0;
}

}  // namespace ziparchive
