#include "update/program_files.h"

#include "archive/zr_dynamic_bind.h"
#include "platform/files.h"

namespace update {

namespace {
const char* const kRequiredFiles[] = {ziparchive::kEngineFileName, "BLaz60A.prg", "BLdg128A.prg",
                                      "BLS12G128.prg"};
}

std::vector<std::string> MissingProgramFiles(const std::string& programDir,
                                             const std::string& packagedEngineDir) {
    std::vector<std::string> missing;
    for (const char* file : kRequiredFiles) {
        const bool packaged =
            !packagedEngineDir.empty() && std::string(file) == ziparchive::kEngineFileName;
        if (!platform::FileExists((packaged ? packagedEngineDir : programDir) + file))
            missing.push_back(file);
    }
    return missing;
}

std::vector<std::string> PackagedProgramFiles(const std::string& packagedEngineDir) {
    if (packagedEngineDir.empty()) return {};
    return {ziparchive::kEngineFileName};
}

}  // namespace update
