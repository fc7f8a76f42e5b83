#pragma once
// TZipReader: reads a zip archive's directory when its file name is set and extracts one
// member at a time into its own memory stream, through the engine library.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip_dir_entry.h"
#include "archive/zip_stream.h"
#include "archive/zr_core.h"

namespace ziparchive {

class TZRWorker;

// Returned by an operation that could not start: the reader is busy or not active.
constexpr int kReaderBusy = -255;

class TCustomZipReader {
public:
    using MessageEvent =
        std::function<void(TCustomZipReader& sender, int errorCode, const std::string& message)>;
    using NotifyEvent = std::function<void(TCustomZipReader& sender)>;

    TCustomZipReader();
    virtual ~TCustomZipReader();
    TCustomZipReader(const TCustomZipReader&) = delete;
    TCustomZipReader& operator=(const TCustomZipReader&) = delete;

    // While inactive, setting ZipFileName only stores it; the directory is read when the
    // reader becomes active.
    bool Active() const { return active_; }
    void SetActive(bool active);

    const std::string& ZipFileName() const;
    // Reads the directory. Failures are reported, never raised, and leave Count at 0.
    void SetZipFileName(const std::string& path);

    int Count() const;
    const std::vector<ZipDirEntry>& Entries() const;
    const std::string& ZipComment() const;
    // Bytes in front of the archive in its file.
    int64_t SFXOffset() const;
    int DirOnlyCount() const;

    // The reader's stream holding the whole member (position 0), or nullptr. The stream
    // stays the reader's: the next extraction replaces its content.
    TZipStream* ExtractToMemory(const std::string& memberName);

    // Warnings about an archive's form (data after its end, a shifted directory) are given
    // once per archive file; after this call, once more. A run that reads the members of
    // a package calls it first.
    void ForgetArchiveWarnings();

    // Loads the engine for a moment to ask its version; 0 when it cannot be loaded.
    int32_t EngineVersion();

    // Where the user is told of errors and shown the wait cursor; the silent sink until set.
    // The sink must outlive the reader.
    void SetMessageSink(platform::MessageSink* sink);
    platform::MessageSink& MessageSink() const;

    bool Busy() const { return busy_; }
    void Cancel();

    int ErrCode() const;
    const std::string& ErrMessage() const;

    // Keeps the engine loaded between operations.
    bool Dll_Load() const { return dllLoad_; }
    void SetDll_Load(bool keepLoaded);

    ZipReaderSettings settings;  // Unattended, Verbose, Trace, DLLDirectory, ExtrOptions, ...

    // What a handler throws ends neither the operation's cleanup nor the program: it is
    // recorded and shown as "Error in event handler" (10106) and goes no further.
    MessageEvent OnMessage;
    NotifyEvent OnDirUpdate;

private:
    // Runs `body` as one operation: refuses re-entry, copies the settings, catches and
    // reports what it raises. Returns 0, or kReaderBusy when it did not run.
    int Operation(const std::function<void()>& body);
    void ReadDirectoryNow();
    // Runs OnDirUpdate; what it throws is reported, never passed on.
    void NotifyDirUpdate();

    std::unique_ptr<TZRWorker> worker_;
    TZipStream stream_;
    bool active_ = true;
    bool busy_ = false;
    bool dllLoad_ = false;
};

class TZipReader : public TCustomZipReader {};

}  // namespace ziparchive
