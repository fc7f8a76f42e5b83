#include "platform/message_sink.h"

namespace platform {

MessageAnswer UnansweredReply(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo: return MessageAnswer::No;
        case MessageButtons::OkCancel: return MessageAnswer::Cancel;
        case MessageButtons::Ok: break;
    }
    return MessageAnswer::Ok;
}

MessageSink& SilentSink() {
    static SilentMessageSink sink;
    return sink;
}

MessageAnswer TrackedMessageSink::Show(const std::string& text, MessageButtons buttons,
                                       const std::string& caption) {
    ++open_;
    struct Closed {
        int& open;
        ~Closed() { --open; }
    } closed{open_};
    return target_.Show(text, buttons, caption);
}

}  // namespace platform
