#pragma once
// What a command is given to do its work.
#include <string>

#include "cli/console.h"
#include "cli/invocation.h"
#include "i18n/text_table.h"
#include "platform/message_sink.h"

namespace cli {

struct Context {
    const Invocation& invocation;
    // Absolute, with a trailing "/": the folder whose language is in use, and where the
    // jobs keep their data and language folders and the program files.
    std::string programDir;
    i18n::TextTable texts;
    Console& console;
    platform::MessageSink& sink;
};

}  // namespace cli
