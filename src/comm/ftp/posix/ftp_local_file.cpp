#include "comm/ftp/ftp_local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zp {

namespace {
constexpr int kCreateMode = 0666;  // narrowed by the umask, as any new file is
}

bool TFtpLocalFile::CreateReplacing(const std::string& path) {
    Discard();
    // O_NOFOLLOW: a link planted under the temporary name cannot redirect the write.
    const std::string temporary = path + ".part";
    fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                 kCreateMode);
    if (fd_ < 0) return false;
    mode_ = Mode::Replace;
    path_ = path;
    temporary_ = temporary;
    size_ = 0;
    return true;
}

bool TFtpLocalFile::OpenAtEnd(const std::string& path, int flags) {
    Discard();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, kCreateMode);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || ::lseek(fd_, 0, SEEK_END) != st.st_size) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool TFtpLocalFile::OpenAppending(const std::string& path) {
    if (!OpenAtEnd(path, 0)) return false;
    mode_ = Mode::Append;
    path_ = path;
    originalSize_ = size_;
    return true;
}

bool TFtpLocalFile::OpenResuming(const std::string& partial, const std::string& path) {
    // O_NOFOLLOW: a link planted under the partial's name cannot redirect the write.
    if (!OpenAtEnd(partial, O_NOFOLLOW)) return false;
    mode_ = Mode::Resume;
    path_ = path;
    temporary_ = partial;
    return true;
}

bool TFtpLocalFile::OpenReading(const std::string& path) {
    Discard();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    mode_ = Mode::Read;
    path_ = path;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void TFtpLocalFile::Fail(const std::string& what) {
    error_ = what + " " + path_ + ": " + std::strerror(errno);
}

bool TFtpLocalFile::Write(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd_, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Fail("Cannot write");
            return false;
        }
        bytes += n;
        count -= static_cast<std::size_t>(n);
        size_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

long TFtpLocalFile::ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t count) {
    while (true) {
        const ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Fail("Cannot read");
        return static_cast<long>(n);
    }
}

bool TFtpLocalFile::StartOver() {
    if (fd_ < 0 || mode_ != Mode::Resume) return false;
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) {
        Fail("Cannot empty");
        return false;
    }
    size_ = 0;
    return true;
}

bool TFtpLocalFile::Commit() {
    if (fd_ < 0) return false;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    const Mode mode = mode_;
    mode_ = Mode::None;
    if (mode != Mode::Replace && mode != Mode::Resume) return closed;
    if (!closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        Fail("Cannot replace");
        // A complete partial file is still worth its bytes to the next attempt.
        if (mode == Mode::Replace) ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    return true;
}

void TFtpLocalFile::Discard() {
    if (fd_ < 0) return;
    if (mode_ == Mode::Append) {
        [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(originalSize_));
    }
    ::close(fd_);
    fd_ = -1;
    // An empty partial has nothing for the next attempt; it would only lie in the folder.
    if (mode_ == Mode::Replace || (mode_ == Mode::Resume && size_ == 0))
        ::unlink(temporary_.c_str());
    temporary_.clear();
    mode_ = Mode::None;
}

void TFtpLocalFile::DiscardPartial() {
    if (fd_ < 0) return;
    if (mode_ == Mode::Resume) {
        ::unlink(temporary_.c_str());
        size_ = 0;
    }
    Discard();
}

}  // namespace zp
