// The engine library's exports. The reader loads this library by name for each
// extraction; it reads the archive's directory itself, finds each requested member by its
// stored name and decodes it into the caller's memory block.
#include <atomic>
#include <string>

#include "archive/engine/library_path.h"
#include "archive/engine/member_extractor.h"
#include "archive/engine/zip_engine_api.h"
#include "archive/format/byte_source.h"
#include "archive/format/central_directory.h"

#define ZE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr int32_t kVersion = 190;
constexpr int32_t kPrivateVersion = 1900001;

std::atomic<bool> g_abortRequested{false};

// Asks the caller; true when it wants the extraction to stop.
bool CallbackStops(const ZE_ExtractParams& p, ZE_CallbackRecord& rec) {
    if (p.callback == nullptr) return false;
    return p.callback(p.context, &rec) != 0;
}

ZE_CallbackRecord NewRecord(int32_t action, ZE_Slot number, const char* text) {
    ZE_CallbackRecord rec{};
    rec.recordSize = sizeof rec;
    rec.action = action;
    rec.number = number;
    rec.text = text;
    return rec;
}

// Makes the output block fit `size`, asking the caller to resize it when it does not.
int32_t FitOutput(ZE_ExtractParams& p, uint64_t size, const char* name) {
    if (static_cast<uint64_t>(p.outputSize) == size && (size == 0 || p.outputBlock != nullptr)) return 0;
    ZE_CallbackRecord rec = NewRecord(ZE_ActResizeOutput, 0, name);
    rec.answerSize = size;
    if (CallbackStops(p, rec)) return ZE_ErrCancelled;
    if (rec.action != kZE_Accepted || rec.answerSize != size || (size > 0 && rec.address == nullptr))
        return ZE_ErrMemory;
    p.outputBlock = static_cast<uint8_t*>(rec.address);
    p.outputSize = static_cast<ZE_Slot>(size);
    return 0;
}

int32_t Extract(ZE_ExtractParams& p) {
    if (p.interfaceVersion != kZE_InterfaceVersion || p.archiveName == nullptr ||
        (p.nameCount > 0 && p.names == nullptr) || p.nameCount < 0) {
        return ZE_ErrParameters;
    }
    // Only memory output is offered; this engine never writes files.
    if (p.memoryOutput != kZE_True) return ZE_ErrParameters;

    ziparchive::FileSource archive;
    if (!archive.Open(p.archiveName)) return ZE_ErrOpen;
    const ziparchive::CentralDirectory dir = ziparchive::ReadCentralDirectory(archive);
    if (dir.errorId != 0) return ZE_ErrOpen;

    ZE_CallbackRecord total = NewRecord(ZE_ActTotalFiles, p.nameCount, nullptr);
    if (CallbackStops(p, total)) return ZE_ErrCancelled;

    int32_t extracted = 0;
    for (ZE_Slot i = 0; i < p.nameCount; ++i) {
        const char* wanted = p.names[i].name;
        if (wanted == nullptr) continue;
        const ziparchive::CentralHeader* found = nullptr;
        for (const auto& h : dir.headers) {
            if (h.rawName == wanted) {
                found = &h;
                break;
            }
        }
        if (found == nullptr) continue;
        // One memory block holds one member.
        if (extracted > 0) break;

        ZE_CallbackRecord start = NewRecord(ZE_ActItemStart, found->uncompressedSize, wanted);
        if (CallbackStops(p, start)) return ZE_ErrCancelled;
        if (const int32_t rc = FitOutput(p, found->uncompressedSize, wanted); rc != 0) return rc;
        const int32_t rc = zipengine::ExtractMember(archive, dir.archiveOffset, *found, p.outputBlock,
                                                    found->uncompressedSize, g_abortRequested);
        if (rc != 0) return rc;
        ++extracted;
        ZE_CallbackRecord end = NewRecord(ZE_ActItemEnd, found->uncompressedSize, wanted);
        if (CallbackStops(p, end)) return ZE_ErrCancelled;
    }
    return extracted;
}

}  // namespace

ZE_EXPORT int32_t ZE_Extract(ZE_ExtractParams* params) {
    if (params == nullptr) return ZE_ErrParameters;
    g_abortRequested = false;
    return Extract(*params);
}

// Adding to archives is not part of this engine.
ZE_EXPORT int32_t ZE_Compress(void*) { return ZE_ErrUnsupported; }

ZE_EXPORT int32_t ZE_Version() { return kVersion; }

ZE_EXPORT int32_t ZE_PrivVersion() { return kPrivateVersion; }

ZE_EXPORT int32_t ZE_Abort() {
    g_abortRequested = true;
    return 0;
}

ZE_EXPORT const char* ZE_Path() {
    static const std::string path = [] {
        std::string loaded = zipengine::LibraryPath();
        return loaded.empty() ? std::string("ZipEngine.so") : loaded;
    }();
    return path.c_str();
}
