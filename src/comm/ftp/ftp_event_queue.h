#pragma once
// The client's notifications to itself (status, error, reply line, log, time-out), handled
// on the GUI thread one at a time, strictly in the order posted, after the operation that
// posted them has returned. What a socket notification brings is handled as soon as that
// notification is done (a batch), without waiting for another turn of the event loop:
// the end of one transfer reaches the caller's handler, and the caller's next command the
// server, at once. Anything else is posted to the event loop. Once the queue is gone,
// nothing queued is ever handled.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "comm/ftp/ftp_failure.h"

namespace zp {

struct TFtpNotification {
    enum class Kind { Status, Error, ReplyLine, Log, Timeout };
    Kind kind;
    std::int32_t code = 0;
    std::string text;
    // Which connection or timer run the notification belongs to, for those that can
    // outlive it.
    std::uint64_t tag = 0;
    // What an error amounts to for a caller that may try again.
    TFtpFailureKind failure = TFtpFailureKind::None;
};

class TFtpEventQueue {
  public:
    using Handler = std::function<void(const TFtpNotification&)>;

    explicit TFtpEventQueue(Handler handler);
    ~TFtpEventQueue();
    TFtpEventQueue(const TFtpEventQueue&) = delete;
    TFtpEventQueue& operator=(const TFtpEventQueue&) = delete;

    void Post(TFtpNotification n);
    // While a batch is open nothing is handled; the outermost EndBatch handles what waits.
    // A handler may destroy the queue's owner: EndBatch is the last thing its caller does.
    void BeginBatch();
    void EndBatch();
    // While held, nothing is handled; Release lets what waits through, in order, from the
    // event loop.
    void Hold();
    void Release();
    bool Held() const;
    // Drops what is queued.
    void Clear();

  private:
    struct Shared;
    static void Deliver(const std::shared_ptr<Shared>& s);
    static void EnsureCall(const std::shared_ptr<Shared>& s);

    std::shared_ptr<Shared> shared_;
};

}  // namespace zp
