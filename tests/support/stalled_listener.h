#pragma once
// A TCP port on 127.0.0.1 whose handshake never completes: a listener with a full
// backlog drops every further connection request, as a server behind a silent firewall
// does. A client connecting to Port() waits until its own time limit.
#include <cstdint>
#include <vector>

namespace testsupport {

class StalledListener {
  public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    std::uint16_t Port() const { return port_; }

  private:
    int listener_ = -1;
    std::vector<int> fillers_;
    std::uint16_t port_ = 0;
};

}  // namespace testsupport
