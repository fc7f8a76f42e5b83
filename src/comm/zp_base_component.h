#pragma once
// The base of the communication components: a version text and where the user hears of a
// failure that escaped one of the component's event handlers.
#include <string>

#include "platform/message_sink.h"

namespace zp {

class TZpBaseComponent {
  public:
    virtual ~TZpBaseComponent() = default;
    std::string Version() const { return "1.05"; }

    // The silent sink until set; the sink must outlive the component.
    void SetMessageSink(platform::MessageSink* sink) {
        sink_ = sink != nullptr ? sink : &platform::SilentSink();
    }
    platform::MessageSink& MessageSink() const { return *sink_; }

  private:
    platform::MessageSink* sink_ = &platform::SilentSink();
};

}  // namespace zp
