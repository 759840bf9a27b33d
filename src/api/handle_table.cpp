#include "api/handle_table.h"

#include <cstdlib>

#include "platform/clock.h"

namespace kelvox {

namespace {
CSdkChain g_chain;  // built when the library loads, emptied when it unloads
}

CSdkChain& SdkChain() { return g_chain; }

int32_t DrawHandle(int32_t record_count) {
    const uint32_t sum = platform::TickCount() + static_cast<uint32_t>(std::rand()) +
                         static_cast<uint32_t>(record_count);
    return static_cast<int32_t>(sum);
}

Session* SessionOf(int32_t handle) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    return g_chain.Find(handle) ? g_chain.head()->data.session : nullptr;
}

int32_t AddSession(int32_t candidate, Session* session) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    int32_t handle = candidate;
    while (handle == 0 || g_chain.Contains(handle)) handle = DrawHandle(g_chain.count());
    g_chain.Add(CSDKDATA{handle, session});
    return handle;
}

Session* TakeSession(int32_t handle) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    if (!g_chain.Find(handle)) return nullptr;
    CSdkChain::Node* node = g_chain.head();
    Session* session = node->data.session;
    node->data.session = nullptr;
    return session;
}

void RemoveHandle(int32_t handle) {
    std::lock_guard<std::mutex> guard(g_chain.lock());
    if (g_chain.Find(handle)) g_chain.RemoveHead();
}

}  // namespace kelvox
