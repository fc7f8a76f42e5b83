#pragma once
// How a component tells the user something without knowing the window. The window hands
// each component a sink that shows modal boxes and the wait cursor; unattended runs and
// tests hand over one that records or drops what it is told.
#include <string>

namespace platform {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A message for the user; returns the button chosen (No for a Yes/No question that
    // nobody answered).
    virtual MessageAnswer Show(const std::string& text,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
    // A long operation begins (true) or ends (false). Calls nest.
    virtual void SetBusy(bool busy) { (void)busy; }
};

// Tells nobody: Ok boxes vanish, questions are answered No.
class SilentMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string&, MessageButtons buttons) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

// The sink to use when a component was given none.
MessageSink& SilentSink();

// Tells `sink` that a long operation runs for the lifetime of the object.
class BusyScope {
public:
    explicit BusyScope(MessageSink& sink) : sink_(sink) { sink_.SetBusy(true); }
    ~BusyScope() { sink_.SetBusy(false); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    MessageSink& sink_;
};

}  // namespace platform
