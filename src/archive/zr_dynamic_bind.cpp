#include "archive/zr_dynamic_bind.h"

#include "archive/zip_messages.h"
#include "platform/files.h"

namespace ziparchive {

TZRDynamicBind::~TZRDynamicBind() { ForgetEngine(); }

std::string TZRDynamicBind::EngineLocation() const {
    const std::string& folder = settings.dllDirectory;
    if (!folder.empty()) {
        // A relative folder ("./lib", "../x") resolves against the program folder, which
        // is the working directory.
        const std::string candidate = folder.back() == '/' ? folder + kEngineFileName
                                                           : folder + "/" + kEngineFileName;
        if (platform::FileExists(candidate)) return candidate;
    }
    // The bare name is looked for in the program folder only.
    return kEngineFileName;
}

int32_t TZRDynamicBind::LoadEngine(EngineLoadReason reason) {
    if (library_.IsLoaded()) {
        reasons_ |= static_cast<unsigned>(reason);
        return privateVersion_;
    }
    const std::string path = EngineLocation();
    if (!library_.Load(path)) {
        if (settings.verbose || settings.trace) {
            ReportProgress("Error [" + std::to_string(library_.LastErrorNumber()) + " " +
                           library_.LastError() + "] loading " + path);
        }
        throw EZipReader(zipid::kLoadFailed, ZipMessage(zipid::kLoadFailed, path));
    }

    // Each entry point is looked up only when the one before it was found.
    static const char* const kNames[] = {"ZE_Extract", "ZE_Compress", "ZE_Version",
                                         "ZE_PrivVersion", "ZE_Abort", "ZE_Path"};
    void* symbols[6] = {};
    bool complete = true;
    for (int i = 0; i < 6 && complete; ++i) {
        symbols[i] = library_.Symbol(kNames[i]);
        complete = symbols[i] != nullptr;
    }
    version_ = 0;
    if (complete) {
        privateVersion_ = reinterpret_cast<ZE_VersionFn>(symbols[3])();
        version_ = reinterpret_cast<ZE_VersionFn>(symbols[2])();
        const char* reported = reinterpret_cast<ZE_PathFn>(symbols[5])();
        enginePath_ = reported != nullptr ? std::string(reported) : path;
    }
    if (version_ < kEngineMinVersion || version_ > kEngineMaxVersion) {
        ForgetEngine();
        throw EZipReader(zipid::kOldOrCorrupt, ZipMessage(zipid::kOldOrCorrupt, path));
    }
    extract_ = reinterpret_cast<ZE_ExtractFn>(symbols[0]);
    reasons_ = static_cast<unsigned>(reason);
    if (settings.verbose) ReportProgress(ZipMessage(zipid::kLoaded, enginePath_));
    return privateVersion_;
}

void TZRDynamicBind::UnloadEngine(EngineLoadReason reason) {
    reasons_ &= ~static_cast<unsigned>(reason);
    if (reasons_ != 0 || !library_.IsLoaded()) return;
    const std::string path = enginePath_;
    ForgetEngine();
    if (settings.verbose) ReportProgress(ZipMessage(zipid::kUnloaded, path));
}

void TZRDynamicBind::ForgetEngine() {
    library_.Unload();
    reasons_ = 0;
    extract_ = nullptr;
    version_ = 0;
    privateVersion_ = 0;
    enginePath_.clear();
}

int32_t TZRDynamicBind::CallExtract(ZE_ExtractParams& params) {
    if (extract_ == nullptr) return ZE_ErrException;
    try {
        return extract_(&params);
    } catch (...) {
        return ZE_ErrException;
    }
}

}  // namespace ziparchive
