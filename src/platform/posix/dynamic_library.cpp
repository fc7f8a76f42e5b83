#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cerrno>

namespace platform {

bool DynamicLibrary::Load(const std::string& path) {
    Unload();
    // A bare name would make the loader search system folders; the program loads only
    // from the folder it names.
    const std::string target = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = ::dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        errorNumber_ = errno;
        const char* why = ::dlerror();
        error_ = why != nullptr ? why : "cannot load " + path;
        return false;
    }
    error_.clear();
    errorNumber_ = 0;
    return true;
}

void DynamicLibrary::Unload() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    if (handle_ == nullptr) return nullptr;
    return ::dlsym(handle_, name.c_str());
}

}  // namespace platform
