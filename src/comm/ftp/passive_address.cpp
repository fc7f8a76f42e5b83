#include "comm/ftp/passive_address.h"

#include <array>

namespace zp {

std::optional<TPassiveAddress> ParsePassiveReply(std::string_view reply) {
    std::string_view body = reply.size() > 3 ? reply.substr(3) : std::string_view();
    const std::size_t open = body.find('(');
    if (open != std::string_view::npos) {
        const std::size_t close = body.find(')', open + 1);
        if (close == std::string_view::npos) return std::nullopt;
        body = body.substr(open + 1, close - open - 1);
    } else {
        const std::size_t digit = body.find_first_of("0123456789");
        if (digit == std::string_view::npos) return std::nullopt;
        body = body.substr(digit);
        const std::size_t end = body.find_first_not_of("0123456789, ");
        if (end != std::string_view::npos) body = body.substr(0, end);
    }
    std::array<std::uint32_t, 6> n{};
    std::size_t count = 0;
    std::size_t at = 0;
    while (true) {
        while (at < body.size() && body[at] == ' ') ++at;
        std::size_t digits = 0;
        std::uint32_t value = 0;
        while (at < body.size() && body[at] >= '0' && body[at] <= '9' && digits < 4) {
            value = value * 10 + static_cast<std::uint32_t>(body[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255 || count == n.size()) return std::nullopt;
        n[count++] = value;
        while (at < body.size() && body[at] == ' ') ++at;
        if (at == body.size()) break;
        if (body[at] != ',') return std::nullopt;
        ++at;
    }
    if (count != n.size()) return std::nullopt;
    TPassiveAddress address;
    address.host = (n[0] << 24) | (n[1] << 16) | (n[2] << 8) | n[3];
    address.port = static_cast<std::uint16_t>(n[4] * 256 + n[5]);
    if (address.port == 0) return std::nullopt;
    return address;
}

bool IsLoopbackAddress(std::uint32_t host) { return (host >> 24) == 127; }

bool IsPrivateAddress(std::uint32_t host) {
    return (host >> 24) == 10 || (host >> 20) == ((172u << 4) | 1) || (host >> 16) == 0xC0A8;
}

std::uint32_t ChooseDataHost(std::uint32_t offered, std::uint32_t controlPeer) {
    if (offered == 0) return controlPeer;
    if (IsLoopbackAddress(offered) && !IsLoopbackAddress(controlPeer)) return controlPeer;
    if (IsPrivateAddress(offered) && !IsPrivateAddress(controlPeer) &&
        !IsLoopbackAddress(controlPeer)) {
        return controlPeer;
    }
    return offered;
}

}  // namespace zp
