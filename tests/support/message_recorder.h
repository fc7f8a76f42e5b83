#pragma once
// Answers every message box at once and keeps what it was asked, for tests. It is also a
// message sink, for components that a test drives without the window.
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace testsupport {

class MessageRecorder : public platform::MessageSink {
public:
    struct Box {
        std::string caption;
        std::string text;
        platform::MessageButtons buttons;
    };

    explicit MessageRecorder(platform::MessageAnswer yesNoAnswer = platform::MessageAnswer::Yes)
        : answer_(yesNoAnswer) {
        previous_ = platform::SetMessageAnswerer(
            [this](const std::string& caption, const std::string& text,
                   platform::MessageButtons buttons) {
                boxes.push_back({caption, text, buttons});
                return Answer(buttons);
            });
    }
    ~MessageRecorder() { platform::SetMessageAnswerer(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    platform::MessageAnswer Show(const std::string& text, platform::MessageButtons buttons,
                                 const std::string& caption) override {
        boxes.push_back({caption, text, buttons});
        return Answer(buttons);
    }

    void SetYesNoAnswer(platform::MessageAnswer a) { answer_ = a; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& b : boxes) t.push_back(b.text);
        return t;
    }

    std::vector<Box> boxes;

private:
    // The answer chosen for questions: Yes means Yes or Ok, No means No or Cancel.
    platform::MessageAnswer Answer(platform::MessageButtons buttons) const {
        const bool positive = answer_ == platform::MessageAnswer::Yes;
        switch (buttons) {
            case platform::MessageButtons::YesNo: return answer_;
            case platform::MessageButtons::OkCancel:
                return positive ? platform::MessageAnswer::Ok : platform::MessageAnswer::Cancel;
            case platform::MessageButtons::Ok: break;
        }
        return platform::MessageAnswer::Ok;
    }

    platform::MessageAnswer answer_;
    platform::MessageAnswerer previous_;
};

}  // namespace testsupport
