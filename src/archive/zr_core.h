#pragma once
// Base of the reader's worker: its settings, the failure type raised inside operations,
// and the route by which errors and warnings reach the user and the owner's events.
#include <functional>
#include <stdexcept>
#include <string>

#include "archive/zip_dir_entry.h"
#include "platform/message_sink.h"

namespace ziparchive {

enum ExtrOption : unsigned {
    ExtrDirNames = 1u << 0,
    ExtrOverWrite = 1u << 1,
    ExtrFreshen = 1u << 2,
    ExtrUpdate = 1u << 3,
    ExtrTest = 1u << 4,
};
using ExtrOptions = unsigned;

struct ZipReaderSettings {
    bool unattended = false;
    bool verbose = false;
    bool trace = false;
    std::string dllDirectory;
    std::string password;
    int passwordReqCount = 1;
    ExtrOptions extrOptions = 0;
    ZipCodePage codePage = ZipCodePage::cpAuto;
    bool useDirOnlyEntries = false;
};

// A failure inside an operation: the message id, its finished text and whether the user
// is to see it.
class EZipReader : public std::runtime_error {
public:
    EZipReader(int id, const std::string& text, bool display = true)
        : std::runtime_error(text), id_(id), display_(display) {}
    int Id() const { return id_; }
    bool Display() const { return display_; }

private:
    int id_;
    bool display_;
};

class TZRCore {
public:
    // Receives every reported message (the owner's OnMessage).
    using OwnerEvent = std::function<void(int code, const std::string& text)>;

    explicit TZRCore(OwnerEvent toOwner) : toOwner_(std::move(toOwner)) {}
    virtual ~TZRCore() = default;
    TZRCore(const TZRCore&) = delete;
    TZRCore& operator=(const TZRCore&) = delete;

    ZipReaderSettings settings;
    // Set by the owner to stop a running operation at its next check.
    bool cancel = false;
    // Where the user hears of errors and of long operations.
    platform::MessageSink* user = &platform::SilentSink();

    int ErrorCode() const { return errorCode_; }
    const std::string& ErrorMessage() const { return errorMessage_; }
    void ClearError();

    // Records a failure as the last error, shows it when it asks to be shown and the
    // reader is not unattended, then passes it to the owner.
    void ReportError(const EZipReader& failure);
    // A warning takes the same route without ending the operation.
    void ReportWarning(int id, const std::string& text) { ReportError(EZipReader(id, text, true)); }
    // Progress and verbose texts: only the owner hears them (code 0), never the user.
    void ReportProgress(const std::string& text);
    // An owner's event handler failed with `what` (empty when it threw no std::exception):
    // recorded as the last error and shown unless unattended, never passed to the owner.
    void ReportHandlerFailure(const std::string& what);

protected:
    // Counts errors recorded while the engine's callback runs.
    int reportedCount_ = 0;

private:
    // The owner's handler runs here; whatever it throws stays in the reader.
    void TellOwner(int code, const std::string& text);

    OwnerEvent toOwner_;
    int errorCode_ = 0;
    std::string errorMessage_;
};

}  // namespace ziparchive
