#pragma once
// The window's launcher names the package's folder in ARVEX_PACKAGE_DIR; a start without
// the launcher has none.
#include <string>

namespace app {

// The package's folder with a trailing "/", when the variable names an absolute folder
// that holds the engine; else empty.
std::string PackagedEngineFolder();

}  // namespace app
