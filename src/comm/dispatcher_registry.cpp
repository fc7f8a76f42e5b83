#include "comm/dispatcher_registry.h"

#include <mutex>
#include <vector>

#include "comm/zp_base_dispatcher.h"

namespace zp::registry {

namespace {

struct Slot {
    TZpBaseDispatcher* dispatcher = nullptr;
    TDispatcherKind kind = TDispatcherKind::Serial;
};

std::mutex registryLock;

std::vector<Slot>& Slots() {
    static std::vector<Slot> slots;
    return slots;
}

const Slot* SlotAt(std::int32_t handle) {
    auto& slots = Slots();
    if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return nullptr;
    return &slots[static_cast<std::size_t>(handle)];
}

}  // namespace

std::int32_t Add(TZpBaseDispatcher* dispatcher, TDispatcherKind kind) {
    std::lock_guard<std::mutex> g(registryLock);
    auto& slots = Slots();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].dispatcher == nullptr) {
            slots[i] = {dispatcher, kind};
            return static_cast<std::int32_t>(i);
        }
    }
    slots.push_back({dispatcher, kind});
    return static_cast<std::int32_t>(slots.size() - 1);
}

void Remove(std::int32_t handle) {
    std::lock_guard<std::mutex> g(registryLock);
    auto& slots = Slots();
    if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return;
    slots[static_cast<std::size_t>(handle)] = Slot{};
    while (!slots.empty() && slots.back().dispatcher == nullptr) slots.pop_back();
}

TZpBaseDispatcher* Find(std::int32_t handle, TDispatcherKind kind) {
    std::lock_guard<std::mutex> g(registryLock);
    const Slot* slot = SlotAt(handle);
    return slot != nullptr && slot->kind == kind ? slot->dispatcher : nullptr;
}

TZpCustomPort* FindOwner(std::int32_t handle, TDispatcherKind kind) {
    TZpBaseDispatcher* d = Find(handle, kind);
    return d != nullptr ? d->Owner() : nullptr;
}

int Count() {
    std::lock_guard<std::mutex> g(registryLock);
    int n = 0;
    for (const Slot& s : Slots()) n += s.dispatcher != nullptr;
    return n;
}

}  // namespace zp::registry
