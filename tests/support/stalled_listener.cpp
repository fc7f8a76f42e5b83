#include "stalled_listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

StalledListener::StalledListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        return;
    }
    // A backlog of 0 still takes one connection, and one more is on its way in.
    for (int i = 0; i < 2; ++i) {
        fillers_.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers_.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    port_ = ntohs(a.sin_port);
}

StalledListener::~StalledListener() {
    for (int fd : fillers_) ::close(fd);
    if (listener_ >= 0) ::close(listener_);
}

}  // namespace testsupport
