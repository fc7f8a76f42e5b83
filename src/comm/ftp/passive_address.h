#pragma once
// The data address of a 227 reply, as pure functions: reading the six numbers, and choosing
// the host to connect to when the server names one that cannot be meant.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zp {

struct TPassiveAddress {
    std::uint32_t host = 0;  // IPv4, host byte order
    std::uint16_t port = 0;
};

// The address of "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the six numbers between
// the first "(" and the next ")", or, for a server that leaves the parentheses out, from
// the first digit after the code. Nothing unless there are exactly six numbers of 0..255
// and the port is not 0.
std::optional<TPassiveAddress> ParsePassiveReply(std::string_view reply);

// 127/8.
bool IsLoopbackAddress(std::uint32_t host);
// 10/8, 172.16/12, 192.168/16.
bool IsPrivateAddress(std::uint32_t host);

// The host to open the data connection to: the offered one, except 0.0.0.0, a loopback
// address while the control connection's peer is not on loopback, or a private address
// while that peer is neither private nor loopback (a server behind a router that names
// its inner address); then the control connection's peer.
std::uint32_t ChooseDataHost(std::uint32_t offered, std::uint32_t controlPeer);

}  // namespace zp
