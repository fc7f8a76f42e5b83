#pragma once
// The passive data connection of one listing or transfer: a TCP socket connected to the
// address of the 227 reply, watched on the GUI thread. It reports when it can be read
// (data or the server's close), when it can be written (asked for by a store) and when
// its connect failed; reading and writing are left to the client's block loops.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "comm/ftp/socket_watch.h"
#include "platform/native_handle.h"

namespace zp {

class TFtpDataConnection {
  public:
    struct Events {
        std::function<void()> readable;
        std::function<void()> writable;
        std::function<void(std::int32_t code)> failed;
    };

    explicit TFtpDataConnection(Events events);
    ~TFtpDataConnection();
    TFtpDataConnection(const TFtpDataConnection&) = delete;
    TFtpDataConnection& operator=(const TFtpDataConnection&) = delete;

    // Creates the socket (closing any earlier one): 0, or the socket code of the failure.
    std::int32_t Create();
    // Starts connecting the created socket without waiting: 0, or the code of a connect
    // that failed at once. A later failure comes as `failed`.
    std::int32_t Connect(std::uint32_t host, std::uint16_t port);
    bool IsOpen() const { return fd_ >= 0; }
    bool Connected() const { return connected_; }
    // Writable calls while on (and connected).
    void WatchWritable(bool on);

    // As tcp::Receive and tcp::Send.
    std::ptrdiff_t Receive(void* buffer, std::size_t size, std::int32_t& code);
    std::ptrdiff_t Send(const void* bytes, std::size_t size, std::int32_t& code);
    void ShutdownSending();
    // `reset`: an abortive close, so that the server does not take what it got as complete.
    void Close(bool reset);

  private:
    // True once connected; false, with the failure reported, when the connect failed.
    bool ConnectDone();
    void OnReadable();
    void OnWritable();

    Events events_;
    platform::NativeHandle fd_ = platform::kNoHandle;
    bool connecting_ = false;
    bool connected_ = false;
    bool wantWritable_ = false;
    TSocketWatch watch_;
};

}  // namespace zp
