/* Control side of the simulated camera, exported by sim builds only. Plain C. */
#ifndef KELVOX_KELVOX_SIM_H
#define KELVOX_KELVOX_SIM_H

#include <stdint.h>

#include "kelvox/kelvox.h"

#ifndef _WIN32
/* Linux has no window system queues: these give a host message windows to pass to the library
   and read what it posts. A null window names the calling thread's own queue, which receives
   what the library posts to a null window from that thread. */
typedef struct KELVOX_SIM_MSG {
    KELVOX_HWND window;  /* NULL for a thread message */
    unsigned    message;
    uintptr_t   wParam;
    intptr_t    lParam;
} KELVOX_SIM_MSG;

KELVOX_API KELVOX_HWND KelvoxSim_CreateMessageWindow(void);
KELVOX_API int KelvoxSim_DestroyMessageWindow(KELVOX_HWND window);
/* Takes the oldest message without waiting: 1, or 0 when the queue is empty or unknown. */
KELVOX_API int KelvoxSim_PeekMessage(KELVOX_HWND window, KELVOX_SIM_MSG *msg);
/* As KelvoxSim_PeekMessage, waiting up to timeout_ms for a message. */
KELVOX_API int KelvoxSim_WaitMessage(KELVOX_HWND window, KELVOX_SIM_MSG *msg, unsigned timeout_ms);
#endif

#endif
