#include "cli/posix/terminal.h"

#include <unistd.h>

#include <cerrno>

namespace cli {

bool IsTerminal(std::FILE* stream) { return IsTerminal(::fileno(stream)); }

bool IsTerminal(int fd) { return fd >= 0 && ::isatty(fd) == 1; }

long ReadSome(int fd, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

}  // namespace cli
