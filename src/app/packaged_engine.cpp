#include "app/packaged_engine.h"

#include <cstdlib>

#include "archive/packaged_engine.h"

namespace app {

std::string PackagedEngineFolder() {
    const char* value = std::getenv("ARVEX_PACKAGE_DIR");
    return ziparchive::PackagedEngineFolder(value ? value : "");
}

}  // namespace app
