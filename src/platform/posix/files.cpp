#include "platform/files.h"

#include <unistd.h>

namespace platform {

bool FolderWritable(const std::string& folder) {
    // The folder's bits alone do not tell: the process's user and groups decide.
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace platform
