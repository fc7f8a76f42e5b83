#include "cli/terminal.h"

#include <unistd.h>

#include <cerrno>

namespace cli {

const NativeHandle kStandardInput = STDIN_FILENO;

bool IsTerminal(std::FILE* stream) { return IsTerminal(::fileno(stream)); }

bool IsTerminal(NativeHandle fd) { return fd >= 0 && ::isatty(fd) == 1; }

long ReadSome(NativeHandle fd, char* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

}  // namespace cli
