#include "comm/ftp/ftp_event_queue.h"

#include "platform/gui_thread.h"

namespace zp {

struct TFtpEventQueue::Shared {
    std::deque<TFtpNotification> items;
    Handler handler;
    bool held = false;
    // Posted calls that came while held and handled nothing: re-posted on release.
    std::size_t skipped = 0;
    bool gone = false;
};

TFtpEventQueue::TFtpEventQueue(Handler handler) : shared_(std::make_shared<Shared>()) {
    shared_->handler = std::move(handler);
}

TFtpEventQueue::~TFtpEventQueue() {
    // A delivery still on the stack (the owner destroyed from its own handler) keeps the
    // shared part alive; it must not hand anything more to the owner.
    shared_->gone = true;
    shared_->items.clear();
}

void TFtpEventQueue::PostCall() {
    std::weak_ptr<Shared> weak = shared_;
    platform::PostToGui([weak] { DeliverOne(weak); });
}

void TFtpEventQueue::Post(TFtpNotification n) {
    shared_->items.push_back(std::move(n));
    PostCall();
}

void TFtpEventQueue::DeliverOne(const std::weak_ptr<Shared>& weak) {
    const std::shared_ptr<Shared> s = weak.lock();
    if (!s || s->gone) return;
    if (s->held) {
        ++s->skipped;
        return;
    }
    // One posted call, one notification: each call takes the oldest one, so the order
    // holds even when a handler runs a nested event loop.
    if (s->items.empty()) return;
    TFtpNotification n = std::move(s->items.front());
    s->items.pop_front();
    Handler handler = s->handler;
    handler(n);
}

void TFtpEventQueue::Hold() { shared_->held = true; }

void TFtpEventQueue::Release() {
    if (!shared_->held) return;
    shared_->held = false;
    for (; shared_->skipped > 0; --shared_->skipped) PostCall();
}

bool TFtpEventQueue::Held() const { return shared_->held; }

void TFtpEventQueue::Clear() { shared_->items.clear(); }

}  // namespace zp
