#include "comm/ftp/ftp_data_connection.h"

#include "comm/ftp/tcp_socket.h"

namespace zp {

TFtpDataConnection::TFtpDataConnection(Events events)
    : events_(std::move(events)), watch_([this] { OnReadable(); }, [this] { OnWritable(); }) {}

TFtpDataConnection::~TFtpDataConnection() { Close(true); }

std::int32_t TFtpDataConnection::Create() {
    Close(true);
    std::int32_t code = 0;
    fd_ = tcp::CreateSocket(code);
    return fd_ < 0 ? code : 0;
}

std::int32_t TFtpDataConnection::Connect(std::uint32_t host, std::uint16_t port) {
    if (fd_ < 0 || connecting_ || connected_) return 0;
    if (const std::int32_t code = tcp::StartConnect(fd_, host, port); code != 0) return code;
    connecting_ = true;
    watch_.Attach(fd_);
    // A store hears of the connect when it can write. A listing or retrieve needs no word
    // of it: its first data, the server's close or the connect's failure all show as
    // readable, and every change of what is watched costs the event loop a wake-up.
    watch_.WatchWritable(wantWritable_);
    return 0;
}

void TFtpDataConnection::WatchWritable(bool on) {
    wantWritable_ = on;
    if (connected_) watch_.WatchWritable(on);
}

std::ptrdiff_t TFtpDataConnection::Receive(void* buffer, std::size_t size, std::int32_t& code) {
    return tcp::Receive(fd_, buffer, size, code);
}

std::ptrdiff_t TFtpDataConnection::Send(const void* bytes, std::size_t size, std::int32_t& code) {
    return tcp::Send(fd_, bytes, size, code);
}

void TFtpDataConnection::ShutdownSending() {
    if (fd_ >= 0) tcp::ShutdownSending(fd_);
}

void TFtpDataConnection::Close(bool reset) {
    if (fd_ < 0) return;
    watch_.Detach();
    tcp::Close(fd_, reset);
    fd_ = -1;
    connecting_ = connected_ = wantWritable_ = false;
}

bool TFtpDataConnection::ConnectDone() {
    if (!connecting_) return true;
    connecting_ = false;
    if (const std::int32_t code = tcp::ConnectResult(fd_); code != 0) {
        watch_.Detach();
        if (const auto call = events_.failed) call(code);
        return false;
    }
    connected_ = true;
    return true;
}

// The calls are copies: each may destroy this connection's owner, and with it this object.

void TFtpDataConnection::OnReadable() {
    // A connect that failed shows as readable too; its error comes before any data.
    if (fd_ < 0 || !ConnectDone()) return;
    if (const auto call = events_.readable) call();
}

void TFtpDataConnection::OnWritable() {
    const bool connecting = connecting_;
    if (fd_ < 0 || !ConnectDone() || (connecting && !wantWritable_)) return;
    if (const auto call = events_.writable) call();
}

}  // namespace zp
