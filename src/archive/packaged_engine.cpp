#include "archive/packaged_engine.h"

#include "archive/zr_dynamic_bind.h"
#include "platform/files.h"

namespace ziparchive {

std::string PackagedEngineFolder(const std::string& folder) {
    if (folder.empty() || folder[0] != '/') return {};
    const std::string withSlash = folder.back() == '/' ? folder : folder + '/';
    return platform::FileExists(withSlash + kEngineFileName) ? withSlash : std::string();
}

}  // namespace ziparchive
