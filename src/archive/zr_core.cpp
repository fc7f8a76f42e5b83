#include "archive/zr_core.h"

#include "archive/zip_messages.h"

namespace ziparchive {

void TZRCore::ClearError() {
    errorCode_ = 0;
    errorMessage_.clear();
}

void TZRCore::ReportError(const EZipReader& failure) {
    errorCode_ = failure.Id();
    errorMessage_ = failure.what();
    ++reportedCount_;
    if (failure.Display() && !settings.unattended) user->Show(errorMessage_);
    TellOwner(errorCode_, errorMessage_);
}

void TZRCore::ReportProgress(const std::string& text) { TellOwner(0, text); }

void TZRCore::ReportHandlerFailure(const std::string& what) {
    errorCode_ = zipid::kHandlerError;
    errorMessage_ = ZipMessageText(zipid::kHandlerError);
    if (!what.empty()) errorMessage_ += ": " + what;
    ++reportedCount_;
    if (!settings.unattended) user->Show(errorMessage_);
}

void TZRCore::TellOwner(int code, const std::string& text) {
    if (!toOwner_) return;
    try {
        toOwner_(code, text);
    } catch (const std::exception& e) {
        ReportHandlerFailure(e.what());
    } catch (...) {
        ReportHandlerFailure({});
    }
}

}  // namespace ziparchive
