#include "platform/process_info.h"

#include <unistd.h>

namespace kelvox::platform {

std::string ExecutablePath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

void DebugOutput(const char*) {}  // no debugger channel to speak to

}  // namespace kelvox::platform
