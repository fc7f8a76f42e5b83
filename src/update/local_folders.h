#pragma once
// The program's folders as the update check uses them, each ending in "/".
#include <string>

namespace update {

struct LocalFolders {
    std::string programDir;   // the working directory at start: program, scripts, drivers
    std::string dataDir;      // firmware packages and installers from the server
    std::string languageDir;  // language files from the server
};

}  // namespace update
