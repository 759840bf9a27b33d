#pragma once
// Hooks into the simulator for tests that link it into their own program (not exported): they
// let a test wait for a state instead of sleeping and hoping it was reached.
#include <cstdint>

namespace kelvox::sim {

// Waits up to timeout_ms until a read of the camera's image endpoint is pending in the
// simulator (submitted and not yet completed). False for an unknown camera or when none came.
bool WaitForPendingRead(int camera_id, uint32_t timeout_ms);

}  // namespace kelvox::sim
