#include "comm/ftp/ftp_event_queue.h"

#include "platform/gui_thread.h"

namespace zp {

struct TFtpEventQueue::Shared {
    std::deque<TFtpNotification> items;
    Handler handler;
    bool held = false;
    bool gone = false;
    // A call to Deliver is posted to the event loop and has not run yet.
    bool callPending = false;
    // Open batches, and the client's own handling of a reply or a time-out: what is
    // posted meanwhile is handled by the delivery under way, so it needs no call.
    int batchDepth = 0;
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

void TFtpEventQueue::EnsureCall(const std::shared_ptr<Shared>& s) {
    if (s->callPending) return;
    s->callPending = true;
    std::weak_ptr<Shared> weak = s;
    platform::PostToGui([weak] {
        const std::shared_ptr<Shared> locked = weak.lock();
        if (!locked) return;
        locked->callPending = false;
        Deliver(locked);
    });
}

void TFtpEventQueue::Deliver(const std::shared_ptr<Shared>& s) {
    while (!s->gone && !s->held && !s->items.empty()) {
        TFtpNotification n = std::move(s->items.front());
        s->items.pop_front();
        const bool own = n.kind == TFtpNotification::Kind::ReplyLine ||
                         n.kind == TFtpNotification::Kind::Timeout;
        // The caller's handler may run an event loop of its own (a message box, a wait):
        // what is queued behind it must still get through there, in order.
        if (!own && !s->items.empty()) EnsureCall(s);
        if (own) ++s->batchDepth;
        Handler handler = s->handler;
        handler(n);
        if (own) --s->batchDepth;
    }
}

void TFtpEventQueue::Post(TFtpNotification n) {
    shared_->items.push_back(std::move(n));
    if (shared_->batchDepth == 0) EnsureCall(shared_);
}

void TFtpEventQueue::BeginBatch() { ++shared_->batchDepth; }

void TFtpEventQueue::EndBatch() {
    const std::shared_ptr<Shared> s = shared_;
    if (--s->batchDepth == 0) Deliver(s);
}

void TFtpEventQueue::Hold() { shared_->held = true; }

void TFtpEventQueue::Release() {
    if (!shared_->held) return;
    shared_->held = false;
    if (!shared_->items.empty()) EnsureCall(shared_);
}

bool TFtpEventQueue::Held() const { return shared_->held; }

void TFtpEventQueue::Clear() { shared_->items.clear(); }

}  // namespace zp
