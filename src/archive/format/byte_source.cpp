#include "archive/format/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ziparchive {

FileSource::~FileSource() { Close(); }

bool FileSource::Open(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
    error_ = 0;
    return true;
}

void FileSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

size_t FileSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (fd_ < 0 || offset >= size_) return 0;
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

size_t MemorySource::ReadAt(uint64_t offset, void* buffer, size_t count) {
    if (offset >= size_) return 0;
    const size_t n = count < size_ - offset ? count : static_cast<size_t>(size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

}  // namespace ziparchive
