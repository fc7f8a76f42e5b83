#pragma once
// Loading the engine library: where it is looked for, the entry points it must export,
// the version window it must report, and the reasons that keep it loaded.
#include <cstdint>
#include <string>

#include "archive/engine/zip_engine_api.h"
#include "archive/zr_core.h"
#include "platform/dynamic_library.h"

namespace ziparchive {

constexpr const char* kEngineFileName = "ZipEngine.so";
constexpr int32_t kEngineMinVersion = 179;
constexpr int32_t kEngineMaxVersion = 300;

// Why the engine is loaded; it stays loaded while any reason holds.
enum class EngineLoadReason : unsigned {
    Operation = 1,
    Version = 2,
    Property = 4,
};

class TZRDynamicBind : public TZRCore {
public:
    using TZRCore::TZRCore;
    ~TZRDynamicBind() override;

    // Makes sure the engine is loaded and records `reason`; returns its private version.
    // Raises EZipReader 10650 when it cannot be loaded, 10651 when it is incomplete or
    // its version is outside the accepted window.
    int32_t LoadEngine(EngineLoadReason reason);
    // Drops `reason`; the engine is unloaded when no reason is left.
    void UnloadEngine(EngineLoadReason reason);

    bool EngineLoaded() const { return library_.IsLoaded(); }
    int32_t EngineVersion() const { return version_; }
    int32_t EnginePrivateVersion() const { return privateVersion_; }
    const std::string& EnginePath() const { return enginePath_; }

protected:
    // Calls ZE_Extract; a failure of the call itself counts as ZE_ErrException.
    int32_t CallExtract(ZE_ExtractParams& params);

private:
    std::string EngineLocation() const;
    void ForgetEngine();

    platform::DynamicLibrary library_;
    unsigned reasons_ = 0;
    ZE_ExtractFn extract_ = nullptr;
    int32_t version_ = 0;
    int32_t privateVersion_ = 0;
    std::string enginePath_;
};

}  // namespace ziparchive
