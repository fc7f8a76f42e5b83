#pragma once
// The client's notifications to itself (status, error, reply line, log, time-out): posted
// to the GUI thread and handled there one at a time, strictly in the order posted, after
// the operation that posted them has returned. Once the queue is gone, nothing queued is
// ever handled.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace zp {

struct TFtpNotification {
    enum class Kind { Status, Error, ReplyLine, Log, Timeout };
    Kind kind;
    std::int32_t code = 0;
    std::string text;
    // Which connection or timer run the notification belongs to, for those that can
    // outlive it.
    std::uint64_t tag = 0;
};

class TFtpEventQueue {
  public:
    using Handler = std::function<void(const TFtpNotification&)>;

    explicit TFtpEventQueue(Handler handler);
    ~TFtpEventQueue();
    TFtpEventQueue(const TFtpEventQueue&) = delete;
    TFtpEventQueue& operator=(const TFtpEventQueue&) = delete;

    void Post(TFtpNotification n);
    // While held, nothing is handled; Release lets what waits through, in order.
    void Hold();
    void Release();
    bool Held() const;
    // Drops what is queued.
    void Clear();

  private:
    struct Shared;
    static void DeliverOne(const std::weak_ptr<Shared>& weak);
    void PostCall();

    std::shared_ptr<Shared> shared_;
};

}  // namespace zp
