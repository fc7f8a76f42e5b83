#pragma once
// The part of the worker that does the reader's jobs: reading an archive's directory into
// entries and extracting one member into the memory stream through the engine.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "archive/zip_dir_entry.h"
#include "archive/zip_stream.h"
#include "archive/zr_dynamic_bind.h"

namespace ziparchive {

// Packages are far smaller; a member declaring more is refused before any memory is
// taken, so that a crafted archive cannot exhaust the program's memory.
constexpr uint64_t kMaxMemberSize = 64ull * 1024 * 1024;

class TZRWorker : public TZRDynamicBind {
public:
    using TZRDynamicBind::TZRDynamicBind;

    std::string zipFileName;
    std::vector<ZipDirEntry> entries;
    std::string zipComment;
    int64_t sfxOffset = 0;
    int dirOnlyCount = 0;

    // Reads the directory of zipFileName. Failures are raised as EZipReader after the
    // entries have been cleared; warnings are reported on the way.
    void List();

    // Extracts `name` into `stream`; true when exactly one member was extracted. Failures
    // are raised as EZipReader.
    bool ExtractToMemory(const std::string& name, TZipStream& stream);

    // The warnings about an archive's form are given once per archive file; after this,
    // once more.
    void ForgetArchiveWarnings() { warned_.clear(); }

private:
    static int32_t EngineCallback(void* context, ZE_CallbackRecord* record);
    int32_t HandleCallback(ZE_CallbackRecord& record);
    void ReadDirectory(const std::string& path);
    void WarnOnce(const std::string& path, int id);

    TZipStream* output_ = nullptr;
    // The file whose directory the entries came from: zipFileName, or the ".zip" beside a
    // program file.
    std::string listedPath_;
    // The archive warnings given since they were last forgotten, by file and id.
    std::set<std::pair<std::string, int>> warned_;
};

}  // namespace ziparchive
