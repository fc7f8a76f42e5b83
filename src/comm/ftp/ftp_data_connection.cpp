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
    watch_.WatchWritable(true);
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

void TFtpDataConnection::OnReadable() {
    if (fd_ < 0) return;
    // A connect that failed shows as readable too; its error comes before any data.
    if (connecting_) {
        OnWritable();
        return;
    }
    if (events_.readable) events_.readable();
}

void TFtpDataConnection::OnWritable() {
    if (fd_ < 0) return;
    if (connecting_) {
        connecting_ = false;
        if (const std::int32_t code = tcp::ConnectResult(fd_); code != 0) {
            watch_.Detach();
            if (events_.failed) events_.failed(code);
            return;
        }
        connected_ = true;
        watch_.WatchWritable(wantWritable_);
        if (!wantWritable_) return;
    }
    if (events_.writable) events_.writable();
}

}  // namespace zp
