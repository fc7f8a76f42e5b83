#include "cli/terminal_message_sink.h"

#include <QSocketNotifier>
#include <algorithm>

#include "cli/terminal.h"
#include "platform/message_wait.h"

namespace cli {

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

// A person gets this many tries at an answer that is neither yes nor no.
constexpr int kTries = 3;
// A line longer than this is not an answer; what is beyond it is dropped.
constexpr size_t kMaxLine = 256;

std::optional<bool> Answer(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    line.erase(0, line.find_first_not_of(" \t\r"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (line == "y" || line == "yes") return true;
    if (line.empty() || line == "n" || line == "no") return false;
    return std::nullopt;
}

}  // namespace

TerminalMessageSink::TerminalMessageSink(Console& console, platform::NativeHandle inputFd,
                                         bool interactive)
    : console_(console), inputFd_(inputFd), interactive_(interactive) {}

MessageAnswer TerminalMessageSink::Show(const std::string& text, MessageButtons buttons,
                                        const std::string&) {
    console_.Error(text);
    if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
    const MessageAnswer refused = platform::UnansweredReply(buttons);
    const MessageAnswer accepted =
        buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    if (!interactive_) {
        console_.Error(buttons == MessageButtons::YesNo
                           ? "Answered No: there is no terminal to ask on."
                           : "Cancelled: there is no terminal to ask on.");
        return refused;
    }
    for (int i = 0; i < kTries; ++i) {
        console_.Prompt(buttons == MessageButtons::YesNo ? "Yes or no? [y/N] " : "Go on? [y/N] ");
        const std::optional<std::string> line = ReadLine();
        if (!line) {
            console_.Error("");
            return refused;
        }
        if (const auto yes = Answer(*line)) return *yes ? accepted : refused;
    }
    return refused;
}

std::optional<std::string> TerminalMessageSink::ReadLine() {
    std::optional<std::string> line;
    auto takeLine = [&] {
        const size_t end = pending_.find('\n');
        if (end == std::string::npos) return;
        line = pending_.substr(0, std::min(end, kMaxLine));
        pending_.erase(0, end + 1);
    };
    takeLine();
    if (line || ended_) return line;

    QSocketNotifier notifier(inputFd_, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char buffer[512];
        const long n = ReadSome(inputFd_, buffer, sizeof buffer);
        if (n <= 0) {
            ended_ = true;
            notifier.setEnabled(false);
            return;
        }
        pending_.append(buffer, static_cast<size_t>(n));
        takeLine();
        // An endless line is cut, never held in full.
        if (!line && pending_.size() > kMaxLine) pending_.erase(kMaxLine);
    });
    platform::ProcessMessagesUntil([&] { return line.has_value() || ended_; });
    // The rest of an input that ended without a line end is still an answer.
    if (!line && ended_ && !pending_.empty()) {
        line = pending_;
        pending_.clear();
    }
    return line;
}

TerminalMessageSink& StandardMessageSink() {
    static TerminalMessageSink sink(StandardConsole(), kStandardInput,
                                    IsTerminal(kStandardInput) && IsTerminal(stderr));
    return sink;
}

}  // namespace cli
