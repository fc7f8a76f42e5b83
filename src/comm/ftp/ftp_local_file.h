#pragma once
// The local file of one retrieve or store. A replacing retrieve writes a temporary file
// beside the target and renames it over the target only when the transfer has succeeded;
// an appending one remembers the old size and cuts the file back to it when the transfer
// fails. So a failed, aborted or timed-out transfer never damages the file that was there.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_handle.h"

namespace zp {

class TFtpLocalFile {
  public:
    TFtpLocalFile() = default;
    ~TFtpLocalFile() { Discard(); }
    TFtpLocalFile(const TFtpLocalFile&) = delete;
    TFtpLocalFile& operator=(const TFtpLocalFile&) = delete;

    // Each returns false (and leaves nothing open) when the file cannot be opened.
    bool CreateReplacing(const std::string& path);
    bool OpenAppending(const std::string& path);
    bool OpenReading(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    std::uint64_t Size() const { return size_; }
    // The file a replacing retrieve is writing now, empty otherwise.
    const std::string& TemporaryPath() const { return temporary_; }

    // Writes all of it; false with Error() set when it cannot.
    bool Write(const std::uint8_t* bytes, std::size_t count);
    // Bytes read at `offset`, or -1 with Error() set.
    long ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count);

    // The transfer succeeded: the temporary file becomes the target; false with Error()
    // set when it cannot (the temporary file is removed then).
    bool Commit();
    // The transfer failed: the target stays as it was.
    void Discard();

    const std::string& Error() const { return error_; }

  private:
    enum class Mode { None, Replace, Append, Read };
    void Fail(const std::string& what);

    platform::NativeHandle fd_ = platform::kNoHandle;
    Mode mode_ = Mode::None;
    std::string path_;
    std::string temporary_;
    std::uint64_t size_ = 0;
    std::uint64_t originalSize_ = 0;
    std::string error_;
};

}  // namespace zp
