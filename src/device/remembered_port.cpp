#include "device/remembered_port.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/strings.h"

namespace device {

namespace {
constexpr const char* kFileName = "ComPort.txt";
constexpr int kHighestPort = 256;
}  // namespace

int ReadRememberedPort(const std::string& programDir) {
    int port = 0;
    if (const auto bytes = platform::ReadFileBytes(programDir + kFileName, 64)) {
        if (const auto n = platform::ParseWholeNumber(*bytes)) port = *n;
    }
    return std::clamp(port, 1, kHighestPort);
}

void SaveRememberedPort(const std::string& programDir, int port) {
    platform::WriteFileBytes(programDir + kFileName, std::to_string(port));
}

}  // namespace device
