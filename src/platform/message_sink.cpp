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

}  // namespace platform
