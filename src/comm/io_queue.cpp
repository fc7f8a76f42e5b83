#include "comm/io_queue.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace zp {

void TIOQueue::PushData(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) return;
    {
        std::lock_guard<std::mutex> g(lock_);
        Item item;
        item.data.assign(bytes, bytes + count);
        items_.push_back(std::move(item));
        queuedBytes_ += count;
    }
    itemAdded_.notify_one();
}

void TIOQueue::PushStatus(std::uint32_t mask, std::uint16_t lineErrors) {
    {
        std::lock_guard<std::mutex> g(lock_);
        Item item;
        item.isStatus = true;
        item.mask = mask;
        item.lineErrors = lineErrors;
        items_.push_back(std::move(item));
    }
    itemAdded_.notify_one();
}

bool TIOQueue::PopStatus(std::uint32_t& mask, std::uint16_t& lineErrors) {
    std::lock_guard<std::mutex> g(lock_);
    if (items_.empty() || !items_.front().isStatus) return false;
    mask = items_.front().mask;
    lineErrors = items_.front().lineErrors;
    items_.pop_front();
    return true;
}

std::size_t TIOQueue::TakeData(std::uint8_t* destination, std::size_t room) {
    std::size_t copied = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        while (copied < room && !items_.empty() && !items_.front().isStatus) {
            Item& front = items_.front();
            const std::size_t n = std::min(room - copied, front.data.size() - front.used);
            std::memcpy(destination + copied, front.data.data() + front.used, n);
            front.used += n;
            copied += n;
            if (front.used == front.data.size()) items_.pop_front();
        }
        queuedBytes_ -= copied;
    }
    if (copied > 0) roomMade_.notify_all();
    return copied;
}

void TIOQueue::Wait(int ms, bool dataWanted) {
    std::unique_lock<std::mutex> g(lock_);
    itemAdded_.wait_for(g, std::chrono::milliseconds(ms), [this, dataWanted] {
        return woken_ || (!items_.empty() && (dataWanted || items_.front().isStatus));
    });
    woken_ = false;
}

bool TIOQueue::WaitForRoom(std::size_t limit, int ms) {
    std::unique_lock<std::mutex> g(lock_);
    const bool room = roomMade_.wait_for(g, std::chrono::milliseconds(ms),
                                         [&] { return queuedBytes_ < limit || woken_; });
    return room && queuedBytes_ < limit;
}

void TIOQueue::Wake() {
    {
        std::lock_guard<std::mutex> g(lock_);
        woken_ = true;
    }
    itemAdded_.notify_all();
    roomMade_.notify_all();
}

void TIOQueue::Clear() {
    {
        std::lock_guard<std::mutex> g(lock_);
        items_.clear();
        queuedBytes_ = 0;
    }
    roomMade_.notify_all();
}

std::size_t TIOQueue::QueuedBytes() const {
    std::lock_guard<std::mutex> g(lock_);
    return queuedBytes_;
}

bool TIOQueue::Empty() const {
    std::lock_guard<std::mutex> g(lock_);
    return items_.empty();
}

}  // namespace zp
