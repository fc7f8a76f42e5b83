#include "app/packaged_engine.h"

#include <cstdlib>

#include "archive/zr_dynamic_bind.h"
#include "platform/files.h"

namespace app {

std::string PackagedEngineFolder() {
    const char* value = std::getenv("ARVEX_PACKAGE_DIR");
    if (value == nullptr || value[0] != '/') return {};
    std::string folder = value;
    if (folder.back() != '/') folder += '/';
    return platform::FileExists(folder + ziparchive::kEngineFileName) ? folder : std::string();
}

}  // namespace app
