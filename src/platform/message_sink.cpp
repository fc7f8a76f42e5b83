#include "platform/message_sink.h"

namespace platform {

MessageSink& SilentSink() {
    static SilentMessageSink sink;
    return sink;
}

}  // namespace platform
