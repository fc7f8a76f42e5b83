#include "archive/engine/library_path.h"

#include <dlfcn.h>

namespace zipengine {

std::string LibraryPath() {
    // Any address inside the library names it; this function's own will do.
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibraryPath), &info) != 0 && info.dli_fname != nullptr)
        return info.dli_fname;
    return {};
}

}  // namespace zipengine
