#include "platform/process.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace platform {

long CurrentProcessId() { return static_cast<long>(::getpid()); }

std::string RunningExecutablePath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

}  // namespace platform
