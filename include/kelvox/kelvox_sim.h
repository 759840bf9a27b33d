/* Control side of the simulated camera, exported by sim builds only. Plain C. */
#ifndef KELVOX_KELVOX_SIM_H
#define KELVOX_KELVOX_SIM_H

#include <stdint.h>

#include "kelvox/kelvox.h"

typedef struct KELVOX_SIM_CAMERA {
    int            size;              /* sizeof(KELVOX_SIM_CAMERA) */
    unsigned short vendor_id;         /* default 0x04B4 */
    unsigned short product_id;        /* default 0x3100 */
    char           serial[32];        /* EEPROM text at 0x1040; "" leaves the EEPROM erased (0xFF) */
    unsigned char  srom_id;           /* EEPROM byte at 0x1080, default 0 */
    unsigned short firmware_version;  /* information block offset 24, default 0x1200 */
    unsigned char  ready_flag_mode;   /* information block offset 52, default 0 */
    int            ready_after_polls; /* 0xC3 answers 1 from this poll on, default 0 */
    int            scene;             /* KELVOX_SIM_SCENE_*, default CHART */
    int            scene_value;       /* FLAT: the 12-bit level of every sample */
    int            paced;             /* 1 (default): sensor frame timing; 0: as fast as possible */
    int            noise;             /* 0 (default): none; else seeded noise amplitude in 12-bit units */
    int            stamp;             /* 1: the first 4 samples of row 0 carry the frame number, LE */
    int            photometric;       /* 1 (default): brightness follows exposure and gain;
                                         0: every sample is the scene value exactly, whatever they are */
} KELVOX_SIM_CAMERA;

enum { KELVOX_SIM_SCENE_CHART = 0, KELVOX_SIM_SCENE_FLAT = 1, KELVOX_SIM_SCENE_RAMP = 2,
       KELVOX_SIM_SCENE_RAW = 3 /* samples given with KelvoxSim_SetRawScene */ };

enum { KELVOX_SIM_FAULT_HEADER_READ = 1, KELVOX_SIM_FAULT_PAYLOAD_READ = 2,
       KELVOX_SIM_FAULT_CONTROL = 3,      /* vendor requests fail */
       KELVOX_SIM_FAULT_I2C_NACK = 4,     /* I2C transfers fail */
       KELVOX_SIM_FAULT_FPGA_BUSY = 5,    /* status register 0x02 reads busy */
       KELVOX_SIM_FAULT_OPEN = 6,         /* the interface cannot be opened (in use elsewhere) */
       KELVOX_SIM_FAULT_STALL = 7 };      /* reads block until aborted */

typedef struct KELVOX_SIM_STATS {
    int size; unsigned frames_sent, headers_sent, arm_requests, control_requests, i2c_writes,
    i2c_reads, pipe_aborts, pipe_resets, port_resets, receiver_restarts, frames_dropped;
} KELVOX_SIM_STATS;

/* A frame sent whole: the number its header carried and when its last payload read completed, in
   nanoseconds of the steady clock (C++ std::chrono::steady_clock), for latency measurements. */
typedef struct KELVOX_SIM_FRAME_TIME {
    unsigned  frame;
    long long finished_ns;
} KELVOX_SIM_FRAME_TIME;

KELVOX_API void KelvoxSim_DefaultCamera(KELVOX_SIM_CAMERA *cfg);
KELVOX_API int  KelvoxSim_Attach(const KELVOX_SIM_CAMERA *cfg);   /* camera id >= 0, or -1 */
KELVOX_API int  KelvoxSim_Detach(int id);                          /* unplug now: 1, or 0 for an unknown id */
KELVOX_API void KelvoxSim_DetachAll(void);
KELVOX_API int  KelvoxSim_InjectFault(int id, int fault, int count); /* the next count operations fail; -1 = always, 0 = clear */
KELVOX_API int  KelvoxSim_SetRawScene(int id, const unsigned short *samples12, int width, int height);
KELVOX_API int  KelvoxSim_Trigger(int id);                         /* external trigger: count 0x08 up, release a frame */
KELVOX_API int  KelvoxSim_PeekRegister(int id, int bus_address, unsigned reg, unsigned *value); /* 0x40, 0x48, 0xA2 */
KELVOX_API int  KelvoxSim_PokeRegister(int id, int bus_address, unsigned reg, unsigned value);
KELVOX_API int  KelvoxSim_GetStats(int id, KELVOX_SIM_STATS *stats);
/* The newest frames sent whole, newest first, at most count (the camera keeps the last 64): how many
   were written; 0 for an unknown id */
KELVOX_API int  KelvoxSim_GetFrameTimes(int id, KELVOX_SIM_FRAME_TIME *times, int count);

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
