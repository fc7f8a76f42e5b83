#pragma once
// The commands an operation still has to send, last in, first out: an operation pushes its
// dialogue in reverse order and each positive intermediate reply sends the next one.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "comm/zp_errors.h"

namespace zp {

class EFtpCommandStackFull : public EZpException {
  public:
    EFtpCommandStackFull() : EZpException("FTP Command stack full", 0) {}
};

class TFtpCommandStack {
  public:
    static constexpr std::size_t kCapacity = 32;

    // A push beyond the capacity empties the stack and raises EFtpCommandStackFull.
    void Push(std::string command);
    // The command to send next, nothing when the stack is empty.
    std::optional<std::string> Pop();
    void Clear() { commands_.clear(); }
    std::size_t Size() const { return commands_.size(); }

  private:
    std::vector<std::string> commands_;
};

}  // namespace zp
