#include "comm/ftp/socket_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

#include "comm/ftp/winsock_errors.h"

namespace zp {

std::int32_t ResolveHost(const std::string& text, std::uint32_t& host) {
    if (text.empty()) return wsAddressRequired;
    in_addr literal{};
    if (::inet_pton(AF_INET, text.c_str(), &literal) == 1) {
        host = ntohl(literal.s_addr);
        return 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return wsCannotResolve;
    }
    host = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return 0;
}

std::int32_t ResolvePort(const std::string& text, std::uint16_t& port) {
    const bool decimal =
        !text.empty() && text.size() <= 5 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    unsigned long value = 0;
    if (decimal) {
        value = std::stoul(text);
    } else if (!text.empty()) {
        // The lookup runs on the GUI thread only, so its static result is not shared.
        if (const servent* service = ::getservbyname(text.c_str(), "tcp")) {
            value = ntohs(static_cast<std::uint16_t>(service->s_port));
        }
    }
    if (value == 0 || value > 65535) return wsInvalidPort;
    port = static_cast<std::uint16_t>(value);
    return 0;
}

}  // namespace zp
