#include "platform/window_message.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/message_queues.h"

namespace kelvox::platform {
namespace posix {
namespace {

class Queue {
public:
    bool Post(const QueuedMessage& m) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (messages_.size() >= static_cast<size_t>(kQueueLimit)) return false;
            messages_.push_back(m);
        }
        cv_.notify_one();
        return true;
    }
    bool Take(QueuedMessage* out, uint32_t timeout_ms) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return !messages_.empty(); }))
            return false;
        *out = messages_.front();
        messages_.pop_front();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<QueuedMessage> messages_;
};

// Window handles are opaque numbers, never dereferenced, so a stale or made-up handle is
// simply unknown.
struct Registry {
    std::mutex mutex;
    std::map<void*, std::shared_ptr<Queue>> windows;
    uintptr_t next = 0x1000;
};

Registry& registry() {
    static Registry* r = new Registry;  // outlives every thread that may still post at exit
    return *r;
}

std::shared_ptr<Queue> FindWindow(void* window) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.windows.find(window);
    return it == r.windows.end() ? nullptr : it->second;
}

// Only the owning thread can reach its queue (a null window means "mine"), so it needs no registry.
Queue& ThreadQueue() {
    thread_local Queue queue;
    return queue;
}

}  // namespace

void* CreateMessageWindow() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    void* handle = reinterpret_cast<void*>(r.next);
    r.next += 0x10;
    r.windows.emplace(handle, std::make_shared<Queue>());
    return handle;
}

bool DestroyMessageWindow(void* window) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.windows.erase(window) == 1;
}

bool PostMessage(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    const QueuedMessage m{window, message, wparam, lparam};
    if (window == nullptr) return ThreadQueue().Post(m);
    auto queue = FindWindow(window);
    return queue && queue->Post(m);
}

bool TakeMessage(void* window, QueuedMessage* out, uint32_t timeout_ms) {
    if (window == nullptr) return ThreadQueue().Take(out, timeout_ms);
    auto queue = FindWindow(window);
    return queue && queue->Take(out, timeout_ms);
}

}  // namespace posix

bool PostWindowMessage(WindowHandle window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return posix::PostMessage(window, message, wparam, lparam);
}

}  // namespace kelvox::platform
