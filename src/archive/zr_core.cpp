#include "archive/zr_core.h"

#include "platform/message_box.h"

namespace ziparchive {

void TZRCore::ClearError() {
    errorCode_ = 0;
    errorMessage_.clear();
}

void TZRCore::ReportError(const EZipReader& failure) {
    errorCode_ = failure.Id();
    errorMessage_ = failure.what();
    ++reportedCount_;
    if (failure.Display() && !settings.unattended) platform::ShowMessage(errorMessage_);
    if (sink_) sink_(errorCode_, errorMessage_);
}

void TZRCore::ReportProgress(const std::string& text) {
    if (sink_) sink_(0, text);
}

}  // namespace ziparchive
