#pragma once
// The one modal message box of the program. Tests replace the dialog with an answerer
// that records each text and replies at once, so no test ever blocks on a dialog.
#include <functional>
#include <string>

#include "platform/message_sink.h"

namespace platform {

using MessageAnswerer =
    std::function<MessageAnswer(const std::string& caption, const std::string& text,
                                MessageButtons buttons)>;

// Shows a modal box and returns the button pressed. Timers and posted calls keep being
// processed while the box is open. Closing a question without choosing answers No or Cancel,
// and so does every box asked for once the message waits have ended. The text is plain.
MessageAnswer ShowMessageBox(const std::string& caption, const std::string& text,
                             MessageButtons buttons = MessageButtons::Ok);

// A box with one OK button, captioned with the application's title.
void ShowMessage(const std::string& text);

// Replaces the dialog; an empty answerer restores it. Returns the previous answerer.
MessageAnswerer SetMessageAnswerer(MessageAnswerer answerer);

}  // namespace platform
