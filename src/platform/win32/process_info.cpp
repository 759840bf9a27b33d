#include "platform/process_info.h"

#include <windows.h>

namespace kelvox::platform {

std::string ExecutablePath() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

void DebugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace kelvox::platform
