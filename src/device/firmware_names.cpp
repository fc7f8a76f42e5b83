#include "device/firmware_names.h"

#include <limits>

namespace device {

namespace {
constexpr size_t kExtensionLength = 4;  // ".vbf", ".b12"
}

std::string MachineTypeOf(const std::string& fileName) {
    const size_t underscore = fileName.find('_');
    return underscore == std::string::npos ? std::string() : fileName.substr(0, underscore);
}

std::string ReleaseTextOf(const std::string& fileName) {
    const size_t underscore = fileName.find('_');
    const size_t begin = underscore == std::string::npos ? 0 : underscore + 1;
    const size_t end = fileName.size() >= kExtensionLength ? fileName.size() - kExtensionLength : 0;
    std::string release = end > begin ? fileName.substr(begin, end - begin) : std::string();
    if (release.find("_s12") != std::string::npos) release.resize(release.size() - 4);
    return release;
}

std::optional<long> ReleaseNumberOf(const std::string& fileName) {
    if (fileName.find("_R") == std::string::npos) return 0;
    const std::string release = ReleaseTextOf(fileName);
    if (release.size() < 2) return std::nullopt;
    long value = 0;
    for (size_t i = 1; i < release.size(); ++i) {
        const char c = release[i];
        if (c < '0' || c > '9') return std::nullopt;
        if (value > (std::numeric_limits<long>::max() - (c - '0')) / 10) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool IsTestRelease(const std::string& fileName) { return fileName.find("_T") != std::string::npos; }

bool IsS12File(const std::string& fileName) { return fileName.find("_s12.vbf") != std::string::npos; }

}  // namespace device
