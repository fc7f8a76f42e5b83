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
                return buttons == platform::MessageButtons::YesNo ? answer_
                                                                  : platform::MessageAnswer::Ok;
            });
    }
    ~MessageRecorder() { platform::SetMessageAnswerer(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    platform::MessageAnswer Show(const std::string& text, platform::MessageButtons buttons) override {
        boxes.push_back({"", text, buttons});
        return buttons == platform::MessageButtons::YesNo ? answer_ : platform::MessageAnswer::Ok;
    }

    void SetYesNoAnswer(platform::MessageAnswer a) { answer_ = a; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& b : boxes) t.push_back(b.text);
        return t;
    }

    std::vector<Box> boxes;

private:
    platform::MessageAnswer answer_;
    platform::MessageAnswerer previous_;
};

}  // namespace testsupport
