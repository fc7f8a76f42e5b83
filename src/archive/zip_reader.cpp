#include "archive/zip_reader.h"

#include <new>

#include "archive/zip_messages.h"
#include "archive/zr_worker.h"

namespace ziparchive {

TCustomZipReader::TCustomZipReader()
    : worker_(std::make_unique<TZRWorker>([this](int code, const std::string& text) {
          if (OnMessage) OnMessage(*this, code, text);
      })) {}

TCustomZipReader::~TCustomZipReader() = default;

void TCustomZipReader::SetMessageSink(platform::MessageSink* sink) {
    worker_->user = sink != nullptr ? sink : &platform::SilentSink();
}

platform::MessageSink& TCustomZipReader::MessageSink() const { return *worker_->user; }

int TCustomZipReader::Operation(const std::function<void()>& body) {
    if (!active_ || busy_) return kReaderBusy;
    struct BusyWhileRunning {
        bool& busy;
        explicit BusyWhileRunning(bool& b) : busy(b) { busy = true; }
        ~BusyWhileRunning() { busy = false; }
    } running{busy_};
    worker_->settings = settings;
    worker_->cancel = false;
    try {
        if (dllLoad_) worker_->LoadEngine(EngineLoadReason::Property);
        body();
    } catch (const EZipReader& failure) {
        worker_->ReportError(failure);
    } catch (const std::bad_alloc&) {
        worker_->ReportError(EZipReader(zipid::kNoMemory, ZipMessageText(zipid::kNoMemory)));
    } catch (const std::exception& other) {
        worker_->ReportError(EZipReader(zipid::kListError, ZipMessageText(zipid::kListError) + other.what()));
    } catch (...) {
        worker_->ReportError(EZipReader(zipid::kListError, ZipMessageText(zipid::kListError)));
    }
    return 0;
}

void TCustomZipReader::ReadDirectoryNow() {
    Operation([this] {
        // The owner hears of the new directory also after a failure.
        try {
            worker_->List();
        } catch (...) {
            NotifyDirUpdate();
            throw;
        }
        NotifyDirUpdate();
    });
}

void TCustomZipReader::NotifyDirUpdate() {
    if (!OnDirUpdate) return;
    try {
        OnDirUpdate(*this);
    } catch (const std::exception& e) {
        worker_->ReportHandlerFailure(e.what());
    } catch (...) {
        worker_->ReportHandlerFailure({});
    }
}

void TCustomZipReader::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (active_ && !worker_->zipFileName.empty()) ReadDirectoryNow();
}

const std::string& TCustomZipReader::ZipFileName() const { return worker_->zipFileName; }

void TCustomZipReader::SetZipFileName(const std::string& path) {
    if (busy_) return;
    worker_->zipFileName = path;
    worker_->entries.clear();
    if (active_) ReadDirectoryNow();
}

void TCustomZipReader::ForgetArchiveWarnings() { worker_->ForgetArchiveWarnings(); }

int TCustomZipReader::Count() const {
    if (!active_ || worker_->zipFileName.empty()) return 0;
    return static_cast<int>(worker_->entries.size());
}

const std::vector<ZipDirEntry>& TCustomZipReader::Entries() const { return worker_->entries; }
const std::string& TCustomZipReader::ZipComment() const { return worker_->zipComment; }
int64_t TCustomZipReader::SFXOffset() const { return worker_->sfxOffset; }
int TCustomZipReader::DirOnlyCount() const { return worker_->dirOnlyCount; }
int TCustomZipReader::ErrCode() const { return worker_->ErrorCode(); }
const std::string& TCustomZipReader::ErrMessage() const { return worker_->ErrorMessage(); }

TZipStream* TCustomZipReader::ExtractToMemory(const std::string& memberName) {
    bool extracted = false;
    Operation([&] { extracted = worker_->ExtractToMemory(memberName, stream_); });
    return extracted ? &stream_ : nullptr;
}

int32_t TCustomZipReader::EngineVersion() {
    int32_t version = 0;
    Operation([&] {
        worker_->LoadEngine(EngineLoadReason::Version);
        version = worker_->EngineVersion();
        worker_->UnloadEngine(EngineLoadReason::Version);
    });
    return version;
}

void TCustomZipReader::Cancel() { worker_->cancel = true; }

void TCustomZipReader::SetDll_Load(bool keepLoaded) {
    if (keepLoaded == dllLoad_) return;
    dllLoad_ = keepLoaded;
    if (keepLoaded) {
        Operation([] {});  // the bracket loads the engine for the property
    } else {
        worker_->UnloadEngine(EngineLoadReason::Property);
    }
}

}  // namespace ziparchive
