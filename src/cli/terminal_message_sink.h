#pragma once
// The message sink of arvex: messages go to standard error; a question is asked on the
// terminal when there is someone to answer it, and answered No (or Cancel) otherwise, so
// that a script never waits for an answer. While a question waits, the event loop runs on
// (timers, the port's events), as it does behind the window's message box.
#include <optional>
#include <string>

#include "cli/console.h"
#include "platform/message_sink.h"
#include "platform/native_handle.h"

namespace cli {

class TerminalMessageSink : public platform::MessageSink {
  public:
    // `interactive`: answers are read from `inputFd`, line by line.
    TerminalMessageSink(Console& console, platform::NativeHandle inputFd, bool interactive);

    platform::MessageAnswer Show(const std::string& text, platform::MessageButtons buttons,
                                 const std::string& caption) override;

  private:
    // The next line of input without its end; nothing at the end of the input.
    std::optional<std::string> ReadLine();

    Console& console_;
    platform::NativeHandle inputFd_;
    bool interactive_;
    std::string pending_;  // input read beyond the last line taken
    bool ended_ = false;
};

// Asks when standard input and standard error are both terminals.
TerminalMessageSink& StandardMessageSink();

}  // namespace cli
