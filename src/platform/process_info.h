#pragma once
#include <string>

namespace kelvox::platform {

// Full path of the program the library runs in ("" when unknown).
std::string ExecutablePath();
// A line for an attached debugger (OutputDebugStringA); nothing is stored.
void DebugOutput(const char* text);

}  // namespace kelvox::platform
