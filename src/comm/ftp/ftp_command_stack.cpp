#include "comm/ftp/ftp_command_stack.h"

namespace zp {

void TFtpCommandStack::Push(std::string command) {
    if (commands_.size() >= kCapacity) {
        commands_.clear();
        throw EFtpCommandStackFull();
    }
    commands_.push_back(std::move(command));
}

std::optional<std::string> TFtpCommandStack::Pop() {
    if (commands_.empty()) return std::nullopt;
    std::string command = std::move(commands_.back());
    commands_.pop_back();
    return command;
}

}  // namespace zp
