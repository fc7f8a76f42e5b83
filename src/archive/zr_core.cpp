#include "archive/zr_core.h"

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
    if (toOwner_) toOwner_(errorCode_, errorMessage_);
}

void TZRCore::ReportProgress(const std::string& text) {
    if (toOwner_) toOwner_(0, text);
}

}  // namespace ziparchive
