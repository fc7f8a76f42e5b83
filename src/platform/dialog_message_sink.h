#pragma once
// The window's sink: modal message boxes captioned with the application's title, and the
// wait cursor while a component is busy.
#include <memory>
#include <vector>

#include "platform/busy_cursor.h"
#include "platform/message_sink.h"

namespace platform {

class DialogMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string& text, MessageButtons buttons,
                       const std::string& caption) override;
    void SetBusy(bool busy) override;

private:
    std::vector<std::unique_ptr<BusyCursor>> cursors_;
};

}  // namespace platform
