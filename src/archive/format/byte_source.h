#pragma once
// Random access to the bytes of an archive, from a file or from memory, so that the
// directory reader and the engine work the same way on both (the fuzz target uses memory).
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_handle.h"

namespace ziparchive {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to `count` bytes from `offset`; returns how many were copied (fewer at the
    // end of the data or on a read error).
    virtual size_t ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Opens read-only; false when it cannot. A folder is refused.
    bool Open(const std::string& path);
    void Close();
    // True when the last Open failed because there is no such file.
    bool Missing() const { return missing_; }

    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;

private:
    platform::NativeHandle fd_ = platform::kNoHandle;
    uint64_t size_ = 0;
    bool missing_ = false;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// Little-endian fields as the zip format stores them.
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t Get64(const uint8_t* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

}  // namespace ziparchive
