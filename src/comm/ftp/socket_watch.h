#pragma once
// Readiness of one socket, delivered on the GUI thread by socket notifiers: a call when it
// can be read (data, the peer's close, an error) and, while asked for, when it can be
// written. The owner may close the socket or destroy the watch from inside either call.
#include <functional>
#include <memory>

#include "platform/native_handle.h"

namespace zp {

class TSocketWatch {
  public:
    TSocketWatch(std::function<void()> onReadable, std::function<void()> onWritable);
    ~TSocketWatch();
    TSocketWatch(const TSocketWatch&) = delete;
    TSocketWatch& operator=(const TSocketWatch&) = delete;

    // Starts watching `fd` for reading; writing only once asked for.
    void Attach(platform::NativeHandle fd);
    // Stops watching; call before the socket is closed.
    void Detach();
    void WatchWritable(bool on);
    void WatchReadable(bool on);

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace zp
