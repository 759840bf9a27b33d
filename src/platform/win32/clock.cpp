#include "platform/clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace kelvox::platform {

uint32_t TickCount() { return GetTickCount(); }
uint32_t MultimediaTime() { return timeGetTime(); }
void SleepMs(uint32_t ms) { Sleep(ms); }

TimerResolution::TimerResolution() { timeBeginPeriod(1); }
TimerResolution::~TimerResolution() { timeEndPeriod(1); }

}  // namespace kelvox::platform
