#include "comm/ftp/tcp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "comm/ftp/winsock_errors.h"

namespace zp::tcp {

NativeHandle CreateSocket(std::int32_t& code) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) code = WinsockErrorCode(errno);
    return fd;
}

std::int32_t StartConnect(NativeHandle fd, std::uint32_t host, std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(host);
    to.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 0;
    return errno == EINPROGRESS ? 0 : WinsockErrorCode(errno);
}

std::int32_t ConnectResult(NativeHandle fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    return error == 0 ? 0 : WinsockErrorCode(error);
}

std::ptrdiff_t Receive(NativeHandle fd, void* buffer, std::size_t size, std::int32_t& code) {
    while (true) {
        const ssize_t n = ::recv(fd, buffer, size, 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldBlock;
        code = WinsockErrorCode(errno);
        return kFailed;
    }
}

std::ptrdiff_t Send(NativeHandle fd, const void* bytes, std::size_t size, std::int32_t& code) {
    while (true) {
        const ssize_t n = ::send(fd, bytes, size, MSG_NOSIGNAL);
        if (n > 0) return n;
        if (n == 0) return kWouldBlock;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return kWouldBlock;
        code = WinsockErrorCode(errno);
        return kFailed;
    }
}

std::uint32_t PeerAddress(NativeHandle fd) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return 0;
    return peer.sin_family == AF_INET ? ntohl(peer.sin_addr.s_addr) : 0;
}

void ShutdownSending(NativeHandle fd) { ::shutdown(fd, SHUT_WR); }

void Close(NativeHandle fd, bool reset) {
    if (fd < 0) return;
    if (reset) {
        linger abortive{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    ::close(fd);
}

}  // namespace zp::tcp
