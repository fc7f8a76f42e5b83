#include "comm/ftp/zp_socket_dispatcher.h"

#include <array>

#include "comm/ftp/tcp_socket.h"
#include "comm/ftp/zp_winsock_port.h"
#include "platform/gui_thread.h"

namespace zp {

namespace {
// Reads per readiness call: enough to drain a burst, few enough to keep the window alive.
constexpr int kReadsPerWake = 8;
}  // namespace

TZpSocketDispatcher::TZpSocketDispatcher(TZpCustomWinsockPort& port, platform::NativeHandle fd,
                                         std::int32_t connectError, bool telnet)
    : TZpGuiThreadDispatcher(&port, TDispatcherKind::Socket),
      port_(port),
      fd_(fd),
      telnetOn_(telnet),
      watch_([this] { OnReadable(); }, [this] { OnWritable(); }) {
    if (connectError != 0) {
        End(connectError);
        return;
    }
    // The connect's outcome shows as writability.
    watch_.Attach(fd_);
    watch_.WatchReadable(false);
    watch_.WatchWritable(true);
}

TZpSocketDispatcher::~TZpSocketDispatcher() {
    *alive_ = false;
    CloseDevice();
}

std::uint32_t TZpSocketDispatcher::PeerAddress() const {
    return fd_ >= 0 && connected_ ? tcp::PeerAddress(fd_) : 0;
}

void TZpSocketDispatcher::CloseDevice() {
    if (fd_ < 0) return;
    watch_.Detach();
    tcp::Close(fd_, false);
    fd_ = -1;
    ended_ = true;
}

std::int32_t TZpSocketDispatcher::PutBlock(const std::uint8_t* bytes, std::size_t length) {
    if (out_.size() + length > kOutBufferSize) return ecOutputBufferTooSmall;
    // Once the connection has ended the port is about to close: nothing can go out.
    if (ended_) return 0;
    out_.append(reinterpret_cast<const char*>(bytes), length);
    if (connected_) SendPending();
    return 0;
}

std::size_t TZpSocketDispatcher::OutBuffFree() const { return kOutBufferSize - out_.size(); }

std::size_t TZpSocketDispatcher::OutBuffUsed() const { return out_.size(); }

std::int32_t TZpSocketDispatcher::FlushOutBuffer() {
    out_.clear();
    return 0;
}

void TZpSocketDispatcher::SendPending() {
    while (!out_.empty() && !ended_) {
        std::int32_t code = 0;
        const std::ptrdiff_t n = tcp::Send(fd_, out_.data(), out_.size(), code);
        if (n == tcp::kFailed) {
            End(code);
            return;
        }
        if (n == tcp::kWouldBlock) break;
        out_.erase(0, static_cast<std::size_t>(n));
    }
    if (!ended_) watch_.WatchWritable(!out_.empty());
}

void TZpSocketDispatcher::OnWritable() {
    if (ended_) return;
    if (!connected_) {
        if (const std::int32_t code = tcp::ConnectResult(fd_); code != 0) {
            End(code);
            return;
        }
        connected_ = true;
        watch_.WatchReadable(true);
        SendPending();
        // Before any byte is read, so the owner is ready for the first reply.
        port_.SocketConnected();
        return;
    }
    SendPending();
}

void TZpSocketDispatcher::OnReadable() {
    TZpCustomWinsockPort& port = port_;
    port.SocketNotificationStarts();
    ReadAvailable();
    // Last: what the port does with the bytes may close it, which frees this dispatcher.
    port.SocketNotificationDone();
}

void TZpSocketDispatcher::ReadAvailable() {
    std::array<std::uint8_t, kDispatchBufferSize> chunk;
    for (int i = 0; i < kReadsPerWake && !ended_; ++i) {
        std::int32_t code = 0;
        const std::ptrdiff_t n = tcp::Receive(fd_, chunk.data(), chunk.size(), code);
        if (n == tcp::kWouldBlock) return;
        if (n == tcp::kFailed || n == 0) {
            End(n == 0 ? 0 : code);
            return;
        }
        const auto count = static_cast<std::size_t>(n);
        // A read that did not fill the chunk took all there was: asking again would only
        // hear "would block". More data wakes the notifier again.
        const bool drained = count < chunk.size();
        if (!telnetOn_) {
            Received(chunk.data(), count);
            if (drained) return;
            continue;
        }
        data_.clear();
        answers_.clear();
        telnet_.Filter(chunk.data(), count, data_, answers_);
        if (!answers_.empty()) {
            PutBlock(reinterpret_cast<const std::uint8_t*>(answers_.data()), answers_.size());
        }
        if (!data_.empty() && !ended_) {
            Received(reinterpret_cast<const std::uint8_t*>(data_.data()), data_.size());
        }
        if (drained) return;
    }
}

void TZpSocketDispatcher::End(std::int32_t code) {
    if (ended_) return;
    ended_ = true;
    watch_.Detach();
    std::weak_ptr<bool> alive = alive_;
    TZpCustomWinsockPort* port = &port_;
    platform::PostToGui([alive, port, code] {
        const auto a = alive.lock();
        if (!a || !*a) return;
        port->SocketEnded(code);
    });
}

}  // namespace zp
