#include "platform/thread_priority.h"

#include <pthread.h>

#include <cstring>

namespace kelvox::platform {

// Real-time scheduling needs privileges a camera host does not have; the default policy stays.
void RaiseCurrentThreadToTimeCritical() {}

void NameCurrentThread(const char* name) {
    char shortened[16] = {};
    std::strncpy(shortened, name, sizeof shortened - 1);
    pthread_setname_np(pthread_self(), shortened);
}

}  // namespace kelvox::platform
