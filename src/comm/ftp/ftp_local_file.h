#pragma once
// The local file of one retrieve or store. A replacing retrieve writes a temporary file
// beside the target and renames it over the target only when the transfer has succeeded;
// an appending one remembers the old size and cuts the file back to it when the transfer
// fails. A resuming retrieve continues a partial file the caller names and renames it over
// the target when complete; when the transfer fails the partial keeps what came, for the
// next attempt. So a failed, aborted or timed-out transfer never damages the file that was
// there, and never leaves a partial file under the target's name.
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
    // Opens `partial` (made when missing) for writing at its end; Size() is where it ends.
    bool OpenResuming(const std::string& partial, const std::string& path);
    bool OpenReading(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    bool Resuming() const { return mode_ == Mode::Resume; }
    std::uint64_t Size() const { return size_; }
    // The file a replacing or resuming retrieve is writing now, empty otherwise.
    const std::string& TemporaryPath() const { return temporary_; }

    // Writes all of it; false with Error() set when it cannot.
    bool Write(const std::uint8_t* bytes, std::size_t count);
    // Bytes read at `offset`, or -1 with Error() set.
    long ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count);

    // A resuming retrieve cannot continue where the partial ends: it starts from the
    // first byte again. False with Error() set when the partial cannot be emptied.
    bool StartOver();

    // The transfer succeeded: the temporary or partial file becomes the target; false with
    // Error() set when it cannot (a temporary file is removed then, a partial one kept).
    bool Commit();
    // The transfer failed: the target stays as it was; a partial file keeps what it holds
    // (an empty one goes).
    void Discard();
    // The transfer failed and what the partial file holds is not a beginning of the file:
    // it is removed.
    void DiscardPartial();

    const std::string& Error() const { return error_; }

  private:
    enum class Mode { None, Replace, Append, Resume, Read };
    // Opens `path` for writing at its end (made when missing, a regular file only).
    bool OpenAtEnd(const std::string& path, int flags);
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
