#pragma once
// Where the control connection goes: the server's address and the port, from the texts
// of the ServerAddress and WsPort properties.
#include <cstdint>
#include <string>

namespace zp {

// The IPv4 address (host byte order) of a dotted-decimal text, or of a host name by a
// blocking look-up. 0 on success, else 10039 (empty text) or 9007 (cannot be resolved).
std::int32_t ResolveHost(const std::string& text, std::uint32_t& host);

// A decimal port number, or a service name looked up for "tcp". 0 on success, else 9005
// (no such service, or port 0 or beyond 65535).
std::int32_t ResolvePort(const std::string& text, std::uint16_t& port);

}  // namespace zp
