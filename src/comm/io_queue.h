#pragma once
// The hand-over from the device threads to the event thread: received chunks and
// comm-event masks in arrival order, so that a status change keeps its place among the data.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace zp {

class TIOQueue {
  public:
    void PushData(const std::uint8_t* bytes, std::size_t count);
    // A comm-event mask; with evError, the line error bits the driver reported with it.
    void PushStatus(std::uint32_t mask, std::uint16_t lineErrors = 0);

    // Takes the comm-event mask at the front of the queue, if the front is one.
    bool PopStatus(std::uint32_t& mask, std::uint16_t& lineErrors);
    // Copies received bytes from the front into `destination`, at most `room`, stopping at
    // a queued status item. Returns the number copied.
    std::size_t TakeData(std::uint8_t* destination, std::size_t room);

    // Waits up to `ms` while there is nothing to take and nobody called Wake. With
    // `dataWanted` false (the taker has no room) received data does not count: only a
    // comm-event mask at the front, or Wake, ends the wait early.
    void Wait(int ms, bool dataWanted = true);
    // Blocks while `limit` bytes or more are queued, up to `ms`; true when there is room.
    bool WaitForRoom(std::size_t limit, int ms);
    // Ends the current Wait and WaitForRoom early.
    void Wake();
    void Clear();

    std::size_t QueuedBytes() const;
    bool Empty() const;

  private:
    struct Item {
        bool isStatus = false;
        std::uint32_t mask = 0;
        std::uint16_t lineErrors = 0;
        std::vector<std::uint8_t> data;
        std::size_t used = 0;
    };

    mutable std::mutex lock_;
    std::condition_variable itemAdded_;
    std::condition_variable roomMade_;
    std::deque<Item> items_;
    std::size_t queuedBytes_ = 0;
    bool woken_ = false;
};

}  // namespace zp
