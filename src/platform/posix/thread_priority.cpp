#include "platform/thread_priority.h"

namespace kelvox::platform {

// Real-time scheduling needs privileges a camera host does not have; the default policy stays.
void RaiseCurrentThreadToTimeCritical() {}

}  // namespace kelvox::platform
