// Host side of the in-process message queues (Linux builds, where windows have no queues).
#include "kelvox/kelvox_sim.h"
#include "platform/message_queues.h"

namespace {
int Take(KELVOX_HWND window, KELVOX_SIM_MSG* msg, unsigned timeout_ms) {
    if (!msg) return 0;
    kelvox::platform::posix::QueuedMessage m{};
    if (!kelvox::platform::posix::TakeMessage(window, &m, timeout_ms)) return 0;
    msg->window = static_cast<KELVOX_HWND>(m.window);
    msg->message = m.message;
    msg->wParam = m.wparam;
    msg->lParam = m.lparam;
    return 1;
}
}  // namespace

KELVOX_API KELVOX_HWND KelvoxSim_CreateMessageWindow(void) {
    try {
        return static_cast<KELVOX_HWND>(kelvox::platform::posix::CreateMessageWindow());
    } catch (...) {
        return nullptr;
    }
}

KELVOX_API int KelvoxSim_DestroyMessageWindow(KELVOX_HWND window) {
    return kelvox::platform::posix::DestroyMessageWindow(window) ? 1 : 0;
}

KELVOX_API int KelvoxSim_PeekMessage(KELVOX_HWND window, KELVOX_SIM_MSG* msg) { return Take(window, msg, 0); }

KELVOX_API int KelvoxSim_WaitMessage(KELVOX_HWND window, KELVOX_SIM_MSG* msg, unsigned timeout_ms) {
    return Take(window, msg, timeout_ms);
}
