#pragma once
// The dispatcher of a socket port: one TCP connection on the GUI thread, no threads. The
// socket notifiers report readiness; received bytes pass the telnet filter (when it is on)
// and go into the dispatch buffer, whose avail notification the port's owner reads; bytes
// to send that the socket cannot take at once wait in a bounded output buffer.
#include <cstdint>
#include <memory>
#include <string>

#include "comm/ftp/socket_watch.h"
#include "comm/ftp/telnet_filter.h"
#include "comm/zp_gui_thread_dispatcher.h"
#include "platform/native_handle.h"

namespace zp {

class TZpCustomWinsockPort;

class TZpSocketDispatcher : public TZpGuiThreadDispatcher {
  public:
    static constexpr std::size_t kOutBufferSize = 32768;

    // Takes over `fd`, a socket whose connect is under way; `connectError` is the code of
    // a connect that failed at once, reported as if it had failed later.
    TZpSocketDispatcher(TZpCustomWinsockPort& port, platform::NativeHandle fd,
                        std::int32_t connectError, bool telnet);
    ~TZpSocketDispatcher() override;

    bool Connected() const { return connected_; }
    std::uint32_t PeerAddress() const;

    std::int32_t PutBlock(const std::uint8_t* bytes, std::size_t length) override;
    std::size_t OutBuffFree() const override;
    std::size_t OutBuffUsed() const override;
    std::int32_t FlushOutBuffer() override;

  protected:
    void CloseDevice() override;

  private:
    void OnReadable();
    void ReadAvailable();
    void OnWritable();
    void SendPending();
    // The connection has ended (code 0: closed by the peer): stop watching and tell the
    // port from a posted call, after the bytes already received have been delivered.
    void End(std::int32_t code);

    TZpCustomWinsockPort& port_;
    platform::NativeHandle fd_;
    bool connected_ = false;
    bool ended_ = false;
    bool telnetOn_;
    TTelnetFilter telnet_;
    std::string out_;
    std::string data_;
    std::string answers_;
    TSocketWatch watch_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zp
