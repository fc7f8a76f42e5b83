#pragma once
// Running what the command line asked for: the program folder, its texts and the
// console's sink are made ready, and the command's runner is called.
#include "cli/console.h"
#include "cli/invocation.h"
#include "platform/message_sink.h"

namespace cli {

// Needs the application object to exist; returns the exit status.
int RunInvocation(const Invocation& invocation, Console& console, platform::MessageSink& sink);

}  // namespace cli
