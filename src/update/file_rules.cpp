#include "update/file_rules.h"

#include <algorithm>

#include "device/firmware_names.h"
#include "platform/folder_listing.h"
#include "platform/strings.h"
#include "update/listing_names.h"

namespace update {

namespace {

constexpr size_t kExtensionLength = 4;  // ".exe"

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::optional<int> InstallerVersionOf(const std::string& name) {
    const size_t underscore = name.find('_');
    if (underscore == std::string::npos || name.size() < kExtensionLength) return std::nullopt;
    const size_t end = name.size() - kExtensionLength;
    if (end <= underscore) return std::nullopt;
    return platform::ParseWholeNumber(name.substr(underscore + 1, end - underscore - 1));
}

std::optional<bool> IsNewerProgram(const std::string& name, int ownVersion) {
    if (!StartsWith(name, kProgramInstallerPrefix)) return false;
    const auto version = InstallerVersionOf(name);
    if (!version) return std::nullopt;
    return *version > ownVersion;
}

std::optional<bool> IsNewerDriver(const std::string& name, const std::string& programDir) {
    if (!StartsWith(name, kDriverInstallerPrefix)) return false;
    const auto version = InstallerVersionOf(name);
    if (!version) return std::nullopt;
    int highest = 0;
    for (const auto& installed :
         platform::ListFiles(programDir, std::string(kDriverInstallerPrefix) + "*.exe")) {
        if (const auto v = InstallerVersionOf(installed)) highest = std::max(highest, *v);
    }
    return *version > highest;
}

std::string FileKind(const std::string& name) {
    const size_t dot = name.find('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

Wanted IsWantedFile(const std::string& name, const WantedRules& rules) {
    if (!rules.serviceMode && device::IsTestRelease(name)) return Wanted::No;
    const std::string kind = FileKind(name);
    if (kind.empty()) return Wanted::No;
    if (kind == "exe") {
        const auto program = IsNewerProgram(name, rules.ownVersion);
        const auto driver = IsNewerDriver(name, rules.folders.programDir);
        if (!program || !driver) return Wanted::BadVersion;
        if (*program && !rules.programReplaceable) return Wanted::LeftToPackageManager;
        return *program || *driver ? Wanted::Yes : Wanted::No;
    }
    if (kind == "vbf" || kind == "b12" || kind == "bbf" || kind == kLanguageFileKind) {
        return Wanted::Yes;
    }
    return Wanted::No;
}

std::optional<std::string> DownloadTarget(const std::string& name, const LocalFolders& folders,
                                          bool installation) {
    if (name.empty() || CheckServerName(name) != UnsafeName::None) return std::nullopt;
    if (installation) return folders.programDir + name;
    if (name.find(".lan") != std::string::npos) return folders.languageDir + name;
    return folders.dataDir + name;
}

}  // namespace update
