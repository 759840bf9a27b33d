/* Public interface of the camera SDK (ZorezoRer_Av40_IVA3_V5.dll). Plain C; hosts include only this. */
#ifndef KELVOX_KELVOX_H
#define KELVOX_KELVOX_H

#ifdef _WIN32
#include <windows.h>
typedef HWND KELVOX_HWND;
#else
/* Outside Windows a window is an opaque handle made by KelvoxSim_CreateMessageWindow (kelvox_sim.h). */
typedef struct KelvoxMessageWindow *KELVOX_HWND;
#endif

#ifdef __cplusplus
#define KELVOX_EXTERN_C extern "C"
#else
#define KELVOX_EXTERN_C
#endif

#if defined(KELVOX_BUILDING) && !defined(_WIN32)
#define KELVOX_API KELVOX_EXTERN_C __attribute__((visibility("default")))
#else
#define KELVOX_API KELVOX_EXTERN_C
#endif

/* Window messages posted (never sent) by the library. */
#define KELVOX_WM_FRAME 0x8002 /* WM_APP + 2, to the callback window */
#define KELVOX_WM_ERROR 0x8003 /* WM_APP + 3, to the notification window; lParam = error code */

/* Error codes: results of Kelvox_GetLastError and the lParam of KELVOX_WM_ERROR. */
#define KELVOX_SUCCESS              0
#define KELVOX_ERR_NOT_READY        1
#define KELVOX_ERR_NO_CAMERA        2
#define KELVOX_ERR_THREAD           3
#define KELVOX_ERR_WINDOW           4
#define KELVOX_ERR_BUFFER           5
#define KELVOX_ERR_DEVICE_IO        6
#define KELVOX_ERR_CAPTURE_WINDOW   7
#define KELVOX_ERR_FRAME            8
#define KELVOX_ERR_PARAM            9
#define KELVOX_ERR_UNSUPPORTED     11
#define KELVOX_ERR_CONVERT         12
#define KELVOX_ERR_DEVICE_LOST     13
#define KELVOX_ERR_MASK_FILE       14

#define KELVOX_DLL_VERSION 33096993 /* 0x01F90521 */

/* Passed by address as the wParam of KELVOX_WM_FRAME; natural alignment. */
typedef struct KELVOX_FRAME_INFO {
    int   reserved;     /* always 0 */
    int   width;
    int   height;
    int   bits_per_pixel; /* 8, 16, 24, 32, 48 or 64 */
    int   frame_rate;   /* frames per second x 10 */
    void *buffer;       /* the host buffer that received the image, or NULL */
} KELVOX_FRAME_INFO;

/* Lifecycle and errors */
KELVOX_API int Kelvox_Initialize(KELVOX_HWND notify_window);
KELVOX_API int Kelvox_Release(int handle);
KELVOX_API int Kelvox_GetLastError(int handle);
KELVOX_API int Kelvox_GetDllVersion(void);

#endif
