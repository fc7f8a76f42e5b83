#pragma once
// The reader's memory stream: one object per reader, refilled by every extraction. It
// keeps its buffer between extractions so that repeated reads do not reallocate.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace ziparchive {

class TZipStream {
public:
    uint64_t Size() const { return size_; }
    uint64_t Position() const { return position_; }
    // Positions beyond the end are allowed; reading there gives nothing.
    void SetPosition(uint64_t position) { position_ = position; }

    // Copies up to `count` bytes from the position on and advances it.
    size_t Read(void* buffer, size_t count);
    // Reads one byte; false at the end.
    bool ReadByte(uint8_t& byte);

    // Resizes keeping the content in front; new bytes are unspecified. False when the
    // memory cannot be had (the stream is then unchanged). The position is kept.
    bool SetSize(uint64_t size);
    void Clear();

    uint8_t* Memory() { return data_.get(); }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(data_.get()), static_cast<size_t>(size_)};
    }

private:
    std::unique_ptr<uint8_t[]> data_;
    uint64_t capacity_ = 0;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

}  // namespace ziparchive
