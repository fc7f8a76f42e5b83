#pragma once
// The few calls on a non-blocking TCP socket that the control and data connections share,
// with failures given as Windows socket numbers.
#include <cstddef>
#include <cstdint>

#include "platform/native_handle.h"

namespace zp::tcp {

using platform::NativeHandle;

// Results of Receive and Send besides a byte count.
constexpr std::ptrdiff_t kWouldBlock = -1;
constexpr std::ptrdiff_t kFailed = -2;

// A new non-blocking IPv4 TCP socket, or a negative handle with `code` set.
NativeHandle CreateSocket(std::int32_t& code);
// Starts connecting: 0 when the connect is under way (or done), else the failure's code.
std::int32_t StartConnect(NativeHandle fd, std::uint32_t host, std::uint16_t port);
// Once the socket is writable after StartConnect: 0 when connected, else the failure.
std::int32_t ConnectResult(NativeHandle fd);
// Bytes received (> 0), 0 when the peer has closed, kWouldBlock, or kFailed with `code`.
std::ptrdiff_t Receive(NativeHandle fd, void* buffer, std::size_t size, std::int32_t& code);
// Bytes the socket took (> 0), kWouldBlock, or kFailed with `code`. Never raises SIGPIPE.
std::ptrdiff_t Send(NativeHandle fd, const void* bytes, std::size_t size, std::int32_t& code);
// The connected peer's IPv4 address in host byte order, 0 when there is none.
std::uint32_t PeerAddress(NativeHandle fd);
void ShutdownSending(NativeHandle fd);
// Closes the socket; `reset` makes it an abortive close, so the peer sees a failure
// instead of a clean end of data.
void Close(NativeHandle fd, bool reset);

}  // namespace zp::tcp
