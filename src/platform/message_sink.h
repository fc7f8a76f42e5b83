#pragma once
// How a component tells the user something without knowing the window. The window hands
// each component a sink that shows modal boxes and the wait cursor; unattended runs and
// tests hand over one that records or drops what it is told.
#include <string>

namespace platform {

enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A message for the user, titled `caption` or, when it is empty, with the application's
    // title; returns the button chosen (No or Cancel for a question nobody answered).
    virtual MessageAnswer Show(const std::string& text,
                               MessageButtons buttons = MessageButtons::Ok,
                               const std::string& caption = {}) = 0;
    // A long operation begins (true) or ends (false). Calls nest.
    virtual void SetBusy(bool busy) { (void)busy; }
};

// The answer to a question that nobody answered: No, Cancel, or Ok for a plain message.
MessageAnswer UnansweredReply(MessageButtons buttons);

// Tells nobody: plain messages vanish, questions are answered No or Cancel.
class SilentMessageSink : public MessageSink {
public:
    MessageAnswer Show(const std::string&, MessageButtons buttons, const std::string&) override {
        return UnansweredReply(buttons);
    }
};

// The sink to use when a component was given none.
MessageSink& SilentSink();

// Passes everything on to another sink and knows whether one of its messages is still
// waiting for an answer: timers keep running behind a modal box, and what they start
// must not pile a second box on the first.
class TrackedMessageSink : public MessageSink {
public:
    explicit TrackedMessageSink(MessageSink& target) : target_(target) {}
    MessageAnswer Show(const std::string& text, MessageButtons buttons = MessageButtons::Ok,
                       const std::string& caption = {}) override;
    void SetBusy(bool busy) override { target_.SetBusy(busy); }
    bool Showing() const { return open_ > 0; }

private:
    MessageSink& target_;
    int open_ = 0;
};

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
