#pragma once
// The socket transport of the port layer: a port whose device is one TCP connection to
// ServerAddress:WsPort, made without waiting and watched on the GUI thread. Opening the
// port starts the connection; the component on top hears when it comes up and when it
// ends. The telnet layer is on by default, as the control connection of FTP wants it.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "comm/ftp/winsock_errors.h"
#include "comm/zp_custom_port.h"

namespace zp {

class TZpSocketDispatcher;

class TZpCustomWinsockPort : public TZpCustomPort {
  public:
    using TWsErrorEvent = std::function<void(TZpCustomWinsockPort& sender, std::int32_t code)>;

    ~TZpCustomWinsockPort() override;

    // Host name or dotted IPv4 address.
    const std::string& ServerAddress() const { return serverAddress_; }
    void SetServerAddress(const std::string& s) { serverAddress_ = s; }
    // A decimal port number or a service name for "tcp".
    const std::string& WsPort() const { return wsPort_; }
    void SetWsPort(const std::string& s) { wsPort_ = s; }
    bool Telnet() const { return telnet_; }
    void SetTelnet(bool on) { telnet_ = on; }

    // Socket errors of the connection. While set, opening errors come here instead of
    // being raised.
    void SetOnWsError(TWsErrorEvent e) { onWsError_ = std::move(e); }
    bool HasWsErrorHandler() const { return static_cast<bool>(onWsError_); }

    // The TCP connection is up (the port is open from the start of the connect).
    bool Connected() const;
    // The peer of the connection (IPv4, host byte order), 0 while there is none.
    std::uint32_t PeerAddress() const;

  protected:
    TZpCustomWinsockPort();

    // Resolves the address and port and starts the connection; raises EWinsockError
    // (10039, 9007, 9005, or the socket's own failure) with nothing left open.
    std::unique_ptr<TZpBaseDispatcher> OpenDevice() override;

    // ---- what the component on top hears, on the GUI thread ----
    virtual void WsConnected() {}
    // The connection has ended: `code` is its socket error, 0 when the peer closed it.
    // The port is closed after this call unless the component closed it already.
    virtual void WsConnectionLost(std::int32_t /*code*/) {}
    // Whether an error that stops the connection from coming up closes the port now. By
    // default only a refusal or reset does; any other leaves the port open until whoever
    // opened it gives up waiting.
    virtual bool ConnectFailureClosesPort(std::int32_t code) const;
    // Around each notification of the connection (bytes read, the connection ended): what
    // the component queues meanwhile it may handle when the notification is done instead
    // of at another turn of the event loop. Done is the last thing the notification does,
    // so it may close the port or destroy the component.
    virtual void SocketNotificationStarts() {}
    virtual void SocketNotificationDone() {}

    void FireWsError(std::int32_t code);
    // Runs `call` from a socket notifier or timer: a failure inside it is shown to the
    // user through the message sink instead of unwinding into the event loop.
    void Guarded(const std::function<void()>& call);

  private:
    friend class TZpSocketDispatcher;
    TZpSocketDispatcher* Socket() const;
    void SocketConnected();
    void SocketEnded(std::int32_t code);

    std::string serverAddress_;
    std::string wsPort_ = "ftp";
    bool telnet_ = true;
    TWsErrorEvent onWsError_;
};

}  // namespace zp
