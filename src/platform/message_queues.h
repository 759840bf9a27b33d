#pragma once
// In-process stand-in for window message queues on Linux (posix builds only): message windows made by the host,
// plus each thread's own queue, which is where a post to a null window goes.
#include <cstdint>

namespace kelvox::platform::posix {

struct QueuedMessage {
    void* window;  // null for a thread message
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

// Like a Windows queue, a full queue refuses further posts.
constexpr int kQueueLimit = 10000;

void* CreateMessageWindow();
bool DestroyMessageWindow(void* window);
bool PostMessage(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Removes the oldest message of the window's queue (null: the calling thread's own queue),
// waiting up to timeout_ms for one; false when none came.
bool TakeMessage(void* window, QueuedMessage* out, uint32_t timeout_ms);

}  // namespace kelvox::platform::posix
