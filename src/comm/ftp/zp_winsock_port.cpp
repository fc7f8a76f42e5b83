#include "comm/ftp/zp_winsock_port.h"

#include <exception>

#include "comm/ftp/socket_address.h"
#include "comm/ftp/tcp_socket.h"
#include "comm/ftp/zp_socket_dispatcher.h"

namespace zp {

TZpCustomWinsockPort::TZpCustomWinsockPort() : TZpCustomPort(dlWinsock) {
    // Reading or sending on a closed socket port must not start a connection.
    SetAutoOpen(false);
}

TZpCustomWinsockPort::~TZpCustomWinsockPort() = default;

TZpSocketDispatcher* TZpCustomWinsockPort::Socket() const {
    return static_cast<TZpSocketDispatcher*>(CurrentPortDispatcher());
}

bool TZpCustomWinsockPort::Connected() const {
    return Open() && !ShuttingDown() && Socket() != nullptr && Socket()->Connected();
}

std::uint32_t TZpCustomWinsockPort::PeerAddress() const {
    return Socket() != nullptr ? Socket()->PeerAddress() : 0;
}

std::unique_ptr<TZpBaseDispatcher> TZpCustomWinsockPort::OpenDevice() {
    std::uint32_t host = 0;
    std::uint16_t port = 0;
    if (const std::int32_t code = ResolveHost(serverAddress_, host); code != 0) {
        throw EWinsockError(code);
    }
    if (const std::int32_t code = ResolvePort(wsPort_, port); code != 0) {
        throw EWinsockError(code);
    }
    std::int32_t code = 0;
    const tcp::NativeHandle fd = tcp::CreateSocket(code);
    if (fd < 0) throw EWinsockError(code);
    // A connect refused at once is reported like one refused later: the port opens and
    // then closes, so the caller sees one path for both.
    const std::int32_t connectError = tcp::StartConnect(fd, host, port);
    return std::make_unique<TZpSocketDispatcher>(*this, fd, connectError, telnet_);
}

bool TZpCustomWinsockPort::ConnectFailureClosesPort(std::int32_t code) const {
    return code == wsNetworkReset || code == wsConnectionAborted || code == wsConnectionReset ||
           code == wsConnectionRefused;
}

void TZpCustomWinsockPort::FireWsError(std::int32_t code) {
    if (onWsError_) {
        TWsErrorEvent call = onWsError_;
        call(*this, code);
    }
}

void TZpCustomWinsockPort::Guarded(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& e) {
        MessageSink().Show(e.what());
    } catch (...) {
        MessageSink().Show("Unknown exception in a socket event");
    }
}

void TZpCustomWinsockPort::SocketConnected() {
    Guarded([this] { WsConnected(); });
}

void TZpCustomWinsockPort::SocketEnded(std::int32_t code) {
    SocketNotificationStarts();
    Guarded([this, code] {
        const bool wasConnected = Socket() != nullptr && Socket()->Connected();
        if (code != 0) FireWsError(code);
        if (!Open()) return;  // the error handler closed it
        if (!wasConnected && code != 0 && !ConnectFailureClosesPort(code)) return;
        WsConnectionLost(code);
        if (Open()) SetOpen(false);
    });
    SocketNotificationDone();
}

}  // namespace zp
