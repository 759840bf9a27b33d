#include "platform/thread_priority.h"

#include <windows.h>

namespace kelvox::platform {

void RaiseCurrentThreadToTimeCritical() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL); }

}  // namespace kelvox::platform
