#pragma once
// Loading a shared library by path and looking up its entry points by name.
#include <string>

namespace platform {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // False when the file cannot be loaded; LastError() then says why, and
    // LastErrorNumber() gives the system's error number.
    bool Load(const std::string& path);
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // The address of an exported symbol, or nullptr.
    void* Symbol(const std::string& name) const;
    const std::string& LastError() const { return error_; }
    int LastErrorNumber() const { return errorNumber_; }

private:
    void* handle_ = nullptr;
    std::string error_;
    int errorNumber_ = 0;
};

}  // namespace platform
