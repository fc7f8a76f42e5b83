#include "comm/system_errors.h"

#include <cerrno>
#include <cstring>

#include "comm/zp_errors.h"

namespace zp {

std::int32_t SystemErrorCode(int systemError) {
    switch (systemError) {
        case 0:
            return ecOK;
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return ecFileNotFound;
        case ENOTDIR:
            return ecPathNotFound;
        case EBUSY:
        case EWOULDBLOCK:
            return ecAccessDenied;
        case EBADF:
            return ecInvalidHandle;
        case ENOMEM:
            return ecOutOfMemory;
        case EIO:
            return ecGeneralFailure;
        // errno numbers that collide with the system-style codes above but mean something
        // else; they never come from a device, and if they do, they are a general failure.
        case ESRCH:
        case ENOEXEC:
            return ecGeneralFailure;
        default:
            return -systemError;
    }
}

std::string SystemErrorText(std::int32_t number) {
    char buffer[256];
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(number, buffer, sizeof buffer);
    std::string s = text != nullptr ? text : "";
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    }
    for (std::size_t at; (at = s.find("  ")) != std::string::npos;) s.erase(at, 1);
    return s;
}

}  // namespace zp
