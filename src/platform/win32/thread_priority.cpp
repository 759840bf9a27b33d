#include "platform/thread_priority.h"

#include <windows.h>

namespace kelvox::platform {

void RaiseCurrentThreadToTimeCritical() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

// SetThreadDescription exists from Windows 10 1607 on; older systems simply keep no name.
void NameCurrentThread(const char* name) {
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetThreadDescription")));
    if (!set) return;
    wchar_t wide[64] = {};
    for (int i = 0; i < 63 && name[i]; ++i) wide[i] = static_cast<unsigned char>(name[i]);
    set(GetCurrentThread(), wide);
}

}  // namespace kelvox::platform
