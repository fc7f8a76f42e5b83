#include "platform/dialog_message_sink.h"

#include <QCoreApplication>

#include "platform/message_box.h"

namespace platform {

MessageAnswer DialogMessageSink::Show(const std::string& text, MessageButtons buttons,
                                      const std::string& caption) {
    return ShowMessageBox(caption.empty() ? QCoreApplication::applicationName().toStdString() : caption,
                          text, buttons);
}

void DialogMessageSink::SetBusy(bool busy) {
    if (busy) {
        cursors_.push_back(std::make_unique<BusyCursor>());
    } else if (!cursors_.empty()) {
        cursors_.pop_back();
    }
}

}  // namespace platform
