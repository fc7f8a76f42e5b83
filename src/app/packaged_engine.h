#pragma once
// An installed copy brings its zip engine in the package's own folder, which the launcher
// names in ARVEX_PACKAGE_DIR. That engine is the one loaded, and the installation step
// never fetches one from the server: no code fetched over the network runs in its place.
// A copy started without the launcher (a build folder) fetches and loads the engine in
// its program folder.
#include <string>

namespace app {

// The package's folder with a trailing "/", when the variable names an absolute folder
// that holds the engine; else empty.
std::string PackagedEngineFolder();

}  // namespace app
