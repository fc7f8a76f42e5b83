#include "comm/serial/dispatcher_registry.h"

#include <mutex>
#include <vector>

namespace zp::registry {

namespace {
std::mutex registryLock;
std::vector<TZpBaseDispatcher*>& Slots() {
    static std::vector<TZpBaseDispatcher*> slots;
    return slots;
}
}  // namespace

std::int32_t Add(TZpBaseDispatcher* dispatcher) {
    std::lock_guard<std::mutex> g(registryLock);
    auto& slots = Slots();
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i] == nullptr) {
            slots[i] = dispatcher;
            return static_cast<std::int32_t>(i);
        }
    }
    slots.push_back(dispatcher);
    return static_cast<std::int32_t>(slots.size() - 1);
}

void Remove(std::int32_t handle) {
    std::lock_guard<std::mutex> g(registryLock);
    auto& slots = Slots();
    if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return;
    slots[handle] = nullptr;
    while (!slots.empty() && slots.back() == nullptr) slots.pop_back();
}

TZpBaseDispatcher* Find(std::int32_t handle) {
    std::lock_guard<std::mutex> g(registryLock);
    auto& slots = Slots();
    if (handle < 0 || static_cast<std::size_t>(handle) >= slots.size()) return nullptr;
    return slots[handle];
}

int Count() {
    std::lock_guard<std::mutex> g(registryLock);
    int n = 0;
    for (auto* d : Slots()) n += d != nullptr;
    return n;
}

}  // namespace zp::registry
