#pragma once
// An installed copy brings its zip engine in the package's own folder, beside the programs.
// That engine is the one loaded, and the installation step never fetches one from the
// server: no code fetched over the network runs in its place. A copy whose folder holds no
// engine (the window in a build folder, started without its launcher) fetches and loads
// the engine of its program folder.
#include <string>

namespace ziparchive {

// `folder` with a trailing "/" when it is absolute and holds the engine; else empty.
std::string PackagedEngineFolder(const std::string& folder);

}  // namespace ziparchive
