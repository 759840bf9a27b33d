/* Public interface of the camera SDK (ZorezoRer_Av40_IVA3_V5.dll). Plain C; hosts include only this. */
#ifndef KELVOX_KELVOX_H
#define KELVOX_KELVOX_H

#include <wchar.h>

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

/* Filled by Kelvox_GetCameraInfo; natural alignment. */
typedef struct KELVOX_CAMERA_INFO {
    int    size;            /* set by the host: sizeof its record, at least 36 */
    int    max_width;       /* 1920 */
    int    max_height;      /* 1200 */
    int    gain_min, gain_max;
    int    color_gain_min, color_gain_max;
    int    exposure_min, exposure_max;   /* units of 100 us */
    double exposure_seconds_min;         /* filled only when size >= 56 */
    double exposure_seconds_max;
} KELVOX_CAMERA_INFO;

/* Lifecycle and errors */
KELVOX_API int Kelvox_Initialize(KELVOX_HWND notify_window);
KELVOX_API int Kelvox_Release(int handle);
KELVOX_API int Kelvox_GetLastError(int handle);
KELVOX_API int Kelvox_GetDllVersion(void);

/* Camera selection and information */
KELVOX_API int Kelvox_EnumDevice(int handle, char names[10][256]);
KELVOX_API int Kelvox_EnumDeviceW(int handle, wchar_t names[10][256]);
KELVOX_API int Kelvox_GetDeviceName(int handle, int index, char *name, int size);
KELVOX_API int Kelvox_GetDeviceNameW(int handle, int index, wchar_t *name, int size);
KELVOX_API int Kelvox_SetDeviceNumber(int handle, int index);
KELVOX_API int Kelvox_GetCameraInfo(int handle, KELVOX_CAMERA_INFO *info);
KELVOX_API int Kelvox_ReadSerialNumberA(int handle, char *text, int size);
KELVOX_API int Kelvox_ReadSerialNumberW(int handle, wchar_t *text, int size);
KELVOX_API int Kelvox_GetStatus(int handle);

/* Geometry and format */
KELVOX_API int Kelvox_SetCaptureWindowEx(int handle, int total_width, int x, int width, int total_height, int y,
                                         int height);
KELVOX_API int Kelvox_GetCaptureWindowEx(int handle, int *total_width, int *x, int *width, int *total_height, int *y,
                                         int *height);
KELVOX_API int Kelvox_Width(int handle);
KELVOX_API int Kelvox_Height(int handle);
KELVOX_API int Kelvox_SetColorMode(int handle, int bits_per_pixel);
KELVOX_API int Kelvox_GetColorMode(int handle);
KELVOX_API int Kelvox_SetSubSample(int handle, int code);
KELVOX_API int Kelvox_GetSubSample(int handle);
KELVOX_API int Kelvox_SetWaitTime(int handle, int milliseconds);
KELVOX_API int Kelvox_GetWaitTime(int handle);
KELVOX_API int Kelvox_GetSamplingRate(int handle, int *rate);
KELVOX_API int Kelvox_GetVideoFormat(int handle, int *format);
KELVOX_API int Kelvox_SetSamplingRate(int handle, int rate);

/* Capture and delivery. A row-order flag of 0 gives the bottom row first (the usual order of a
   device-independent bitmap), non-zero the top row first; a buffer needs height x stride bytes,
   the stride being width x bytes per pixel rounded up to a multiple of 4. */
KELVOX_API int Kelvox_Capture(int handle);
KELVOX_API int Kelvox_StartPreview(int handle);
KELVOX_API int Kelvox_CallBackPreview(int handle, KELVOX_HWND callback_window, void *buffer, int size, int row_order);
KELVOX_API int Kelvox_StopPreview(int handle);
KELVOX_API int Kelvox_Close(int handle);
KELVOX_API int Kelvox_SnapShot(int handle, void *buffer, int size, int row_order);
KELVOX_API int Kelvox_GetImage(int handle, void *buffer, int size, int row_order);

/* Exposure, temperature, mirror and other settings */
KELVOX_API int Kelvox_SetExposureTimeEx(int handle, double seconds);
KELVOX_API double Kelvox_GetExposureTimeEx(int handle, int *ok);
KELVOX_API int Kelvox_SetRealExposureTime(int handle, int microseconds);
KELVOX_API int Kelvox_GetRealExposureTime(int handle, int *ok);
KELVOX_API double Kelvox_GetTemperatureEx(int handle, int *ok);
KELVOX_API int Kelvox_SetMirrorH(int handle, int on);
KELVOX_API int Kelvox_SetMirrorV(int handle, int on);
KELVOX_API int Kelvox_GetMirrorH(int handle);
KELVOX_API int Kelvox_GetMirrorV(int handle);
KELVOX_API int Kelvox_SetAutoIris(int handle, int mode);
KELVOX_API int Kelvox_GetAutoIris(int handle, int *ok);
KELVOX_API int Kelvox_SetConfigFilter(int handle);
KELVOX_API int Kelvox_GetConfigFilter(int handle);
KELVOX_API int Kelvox_SetInternalCorrection(int handle, int value);
KELVOX_API int Kelvox_GetInternalCorrection(int handle, int *ok);

/* Registers, I/O port and EEPROM; `ok` receives 1 when the read succeeded */
KELVOX_API int Kelvox_ReadRegister(int handle, int address, int *ok);
KELVOX_API int Kelvox_ReadRegisterEx(int handle, unsigned int address, int *ok);
KELVOX_API int Kelvox_WriteRegister(int handle, int address, int value);
KELVOX_API int Kelvox_WriteRegisterEx(int handle, unsigned int address, unsigned int value);
KELVOX_API int Kelvox_Fpga_ReadRegister(int handle, int address, int *ok);
KELVOX_API int Kelvox_Fpga_WriteRegister(int handle, int address, int value);
KELVOX_API int Kelvox_GetIOPort(int handle, unsigned char *value);
KELVOX_API int Kelvox_SetIOPort(int handle, int value);
KELVOX_API int Kelvox_ReadSromID(int handle, int address, int *ok);
KELVOX_API int Kelvox_WriteSromID(int handle, int address, int value);

/* Functions this camera does not have: they answer 0 and report KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_Fps(int handle);
KELVOX_API int Kelvox_GetHalfClock(int handle);
KELVOX_API int Kelvox_SetHalfClock(int handle);
KELVOX_API int Kelvox_SetCrossbar(int handle);
KELVOX_API int Kelvox_Trigger(int handle);
KELVOX_API int Kelvox_SendText(int handle);
KELVOX_API int Kelvox_ReceiveText(int handle);

#endif
