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

/* Filter-value identifiers of Kelvox_SetFilterValue / Kelvox_GetFilterValue, with what a set accepts
   (inclusive). A value outside is refused with KELVOX_ERR_PARAM and leaves the setting as it was. */
#define KELVOX_FILTER_BRIGHTNESS          1 /* -255..255 */
#define KELVOX_FILTER_CONTRAST            2 /* -127..127 */
#define KELVOX_FILTER_HUE                 3 /* -360..360 */
#define KELVOX_FILTER_SATURATION          4 /* -255..255 */
#define KELVOX_FILTER_SHARPNESS           5 /* 0..30 */
#define KELVOX_FILTER_BAYER_GAIN_RGB      6 /* red bits 0-7, green 8-15, blue 16-23 */
#define KELVOX_FILTER_BAYER_GAIN_RED      7 /* 0..400 */
#define KELVOX_FILTER_BAYER_GAIN_GREEN    8 /* 0..400 */
#define KELVOX_FILTER_BAYER_GAIN_BLUE     9 /* 0..400 */
#define KELVOX_FILTER_BAYER_GAIN_AUTO    10 /* any; non-zero is on */
#define KELVOX_FILTER_GAMMA              11 /* 0..200 */
#define KELVOX_FILTER_BAYER_MODE         12 /* 0..3 */
#define KELVOX_FILTER_GLOBAL_GAIN        13 /* the camera's gain range; the four colour gains follow it */
#define KELVOX_FILTER_COLOR_GAIN_RED     14 /* the camera's colour-gain range, as 15-17 */
#define KELVOX_FILTER_COLOR_GAIN_GREEN1  15
#define KELVOX_FILTER_COLOR_GAIN_GREEN2  16
#define KELVOX_FILTER_COLOR_GAIN_BLUE    17
#define KELVOX_FILTER_EXPOSURE           18 /* units of 100 us, the camera's exposure range */
#define KELVOX_FILTER_GRAY_MODE          19 /* 0..2 */
#define KELVOX_FILTER_GRAY_GAIN_R        20 /* 0..255, as 21-23 */
#define KELVOX_FILTER_GRAY_GAIN_G1       21
#define KELVOX_FILTER_GRAY_GAIN_G2       22
#define KELVOX_FILTER_GRAY_GAIN_B        23
#define KELVOX_FILTER_GRAY_OFFSET_R      24 /* -255..255, as 25-27 */
#define KELVOX_FILTER_GRAY_OFFSET_G1     25
#define KELVOX_FILTER_GRAY_OFFSET_G2     26
#define KELVOX_FILTER_GRAY_OFFSET_B      27
#define KELVOX_FILTER_GRAY_CALIBRATE     28 /* set only, 0 or 1: gray gains and offsets from the next frame */
#define KELVOX_FILTER_PELTIER           100 /* cameras with a Peltier element */
#define KELVOX_FILTER_TEMPERATURE       101 /* get only; read it with Kelvox_GetTemperatureEx */
#define KELVOX_FILTER_DOT               102 /* 0 or 1: defect-pixel correction */
#define KELVOX_FILTER_MASK              103 /* 0 or 1: shading correction */
#define KELVOX_FILTER_GAIN_MODE         104 /* the camera's gain mode */
#define KELVOX_FILTER_CONTROL_D         105 /* short exposure mode, where the camera has it */
#define KELVOX_FILTER_BLACK_LEVEL       106 /* where the camera has it */

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
/* The stored size preset (registry, per camera) whose effective size is width x height:
   KELVOX_ERR_WINDOW when none; a preset the window check refuses records KELVOX_ERR_CAPTURE_WINDOW
   and the full 1920 x 1200 window is used instead. */
KELVOX_API int Kelvox_SetCaptureWindow(int handle, int width, int height);
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
/* Live preview drawn into the preview window, without frame messages or a host buffer. */
KELVOX_API int Kelvox_Preview(int handle);
KELVOX_API int Kelvox_StopPreview(int handle);
/* Stops any capture and closes the preview window; always 1. */
KELVOX_API int Kelvox_Close(int handle);
/* Where Kelvox_Preview and Kelvox_CallBackPreview put the preview window: a child of `parent` at
   (x, y, width, height) of its client area (title "ActiveMovie Window", control id 6540), or, with
   no parent and any value non-zero, a top-level window "Active Window" whose client area is the
   image size, centred on the screen (default 0, 0, 1920, 1200). With no parent and all four 0 no
   window is made. A window that cannot be made fails the start with KELVOX_ERR_WINDOW; so does
   every placement on a system without windows (the native Linux build), where the default is no
   window. Frames are drawn as they are delivered, scaled to the client area when it is not the
   image size. 1, or 0 with KELVOX_ERR_NOT_READY without a camera object. */
KELVOX_API int Kelvox_SetPreviewWindow(int handle, KELVOX_HWND parent, int x, int y, int width, int height);
KELVOX_API int Kelvox_SnapShot(int handle, void *buffer, int size, int row_order);
KELVOX_API int Kelvox_GetImage(int handle, void *buffer, int size, int row_order);

/* Image files: the last processed image, top row first in every format. Format 0 BMP, 1 raw (the
   rows as held: top row first, padded to 4 bytes, no header), 2/3/4 JPEG of quality 100/70/20 (8-bit
   grey or 24-bit colour from the high bytes), 5 PNG, 6 TIFF. 1 when the file was written whole; 0 for
   another format or a failed write, and then no unfinished file is left. Names are in the ANSI code
   page; the W form converts with the thread's code page (KELVOX_ERR_CONVERT when it cannot). */
#define KELVOX_SAVE_BMP     0
#define KELVOX_SAVE_RAW     1
#define KELVOX_SAVE_JPEG100 2
#define KELVOX_SAVE_JPEG70  3
#define KELVOX_SAVE_JPEG20  4
#define KELVOX_SAVE_PNG     5
#define KELVOX_SAVE_TIFF    6
KELVOX_API int Kelvox_SaveImage(int handle, const char *file_name, int format);
KELVOX_API int Kelvox_SaveImageW(int handle, const wchar_t *file_name, int format);

/* AVI recording: starts live preview (as Kelvox_StartPreview; no frame messages and no host buffer
   from here on) and records its processed frames into an uncompressed AVI file (24-bit DIB rows,
   bottom-up, one stream, idx1 index) for `duration_ms` counted from the first frame (unsigned: -1
   records until the capture stops). When the time is up the file is finished with the frame rate
   measured over the recording, and live preview goes on. Stopping the capture first
   (Kelvox_StopPreview, Kelvox_Close) ends the recording without index and zero sizes in the
   header; that file is closed by the next recording or Kelvox_Release. With `show_window` set and
   a placement from Kelvox_SetPreviewWindow the frames are shown in the preview window too.
   1 when recording has started; 0 with KELVOX_ERR_PARAM for a null or empty name,
   KELVOX_ERR_CONVERT when a recording is running, the capture cannot start or the file cannot be
   created (the W form also when the name cannot be converted), KELVOX_ERR_WINDOW when the
   window cannot be made, KELVOX_ERR_THREAD when no thread can be started. A write that fails
   during the recording (a full disk), or a file reaching the format's 4 GiB, ends the recording
   with a finished file of the whole frames written and reports KELVOX_ERR_CONVERT. */
KELVOX_API int Kelvox_Record(int handle, const char *file_name, int duration_ms, int show_window);
KELVOX_API int Kelvox_RecordW(int handle, const wchar_t *file_name, int duration_ms, int show_window);

/* Defect mask: reference frames of the whole sensor (1920 x 1200), a dark and a bright one at 8 and
   at 16 bits, from which hot pixels (dark above 192 / 12288) and dead pixels (bright below 64 /
   4096) are mapped. Kelvox_UpdateMaskData takes the last raw frame (16-bit in the 16, 48 and 64-bit
   modes) as the dark (0) or bright (1) reference: 0 with KELVOX_ERR_CONVERT for another selector,
   KELVOX_ERR_NOT_READY without an open camera; 1 otherwise, also when the last frame is not a full
   sensor frame (then nothing is taken). The mask file holds the four references (13,824,040
   bytes); save and load return 1, or 0 with KELVOX_ERR_MASK_FILE (a failed save leaves no file; a
   load of a file that is not whole and valid changes nothing), KELVOX_ERR_NOT_READY without an
   open camera; the W forms convert the name with the thread's code page (KELVOX_ERR_CONVERT). */
KELVOX_API int Kelvox_UpdateMaskData(int handle, int which);
KELVOX_API int Kelvox_SaveMaskFile(int handle, const char *file_name);
KELVOX_API int Kelvox_SaveMaskFileW(int handle, const wchar_t *file_name);
KELVOX_API int Kelvox_LoadMaskFile(int handle, const char *file_name);
KELVOX_API int Kelvox_LoadMaskFileW(int handle, const wchar_t *file_name);

/* Configuration file: a list of pairs of little-endian 32-bit values (8 bytes each; an incomplete
   last record is ignored) that the session keeps. 0 when the file cannot be read, the list then
   unchanged; the W form converts the name with the thread's code page (KELVOX_ERR_CONVERT). */
KELVOX_API int Kelvox_LoadConfigFileA(int handle, const char *file_name);
KELVOX_API int Kelvox_LoadConfigFileW(int handle, const wchar_t *file_name);

/* Settings dialogs, modal over `owner` (English, or Japanese on a Japanese system): the camera
   dialog (stream format and size presets, stored for the camera; a running capture is stopped for
   it and started again), the analog dialog (gains, exposure, mirrors; changed live) and the image
   dialog (picture settings, grey gains and offsets; changed live). Cancel puts back what the
   analog and image dialogs changed. 1 once the dialog closed; 0 with KELVOX_ERR_NOT_READY without
   an open camera, KELVOX_ERR_WINDOW where no dialog can be shown (no window system). */
KELVOX_API int Kelvox_SetCameraDlg(int handle, KELVOX_HWND owner);
KELVOX_API int Kelvox_SetAnalogDlg(int handle, KELVOX_HWND owner);
KELVOX_API int Kelvox_SetImageDlg(int handle, KELVOX_HWND owner);

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

/* Filter values (identifiers above). A get returns the value and sets *ok (may be NULL) to 1 or 0. */
KELVOX_API int Kelvox_SetFilterValue(int handle, int id, int value);
KELVOX_API int Kelvox_GetFilterValue(int handle, int id, int *ok);

/* Filter values by name: each is Kelvox_SetFilterValue / Kelvox_GetFilterValue with its identifier */
KELVOX_API int Kelvox_SetBrightness(int handle, int value);
KELVOX_API int Kelvox_GetBrightness(int handle, int *ok);
KELVOX_API int Kelvox_SetContrast(int handle, int value);
KELVOX_API int Kelvox_GetContrast(int handle, int *ok);
KELVOX_API int Kelvox_SetHue(int handle, int value);
KELVOX_API int Kelvox_GetHue(int handle, int *ok);
KELVOX_API int Kelvox_SetSaturation(int handle, int value);
KELVOX_API int Kelvox_GetSaturation(int handle, int *ok);
KELVOX_API int Kelvox_SetSharpness(int handle, int value);
KELVOX_API int Kelvox_GetSharpness(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerGainRGB(int handle, int value);
KELVOX_API int Kelvox_GetBayerGainRGB(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerGainRed(int handle, int value);
KELVOX_API int Kelvox_GetBayerGainRed(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerGainGreen(int handle, int value);
KELVOX_API int Kelvox_GetBayerGainGreen(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerGainBlue(int handle, int value);
KELVOX_API int Kelvox_GetBayerGainBlue(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerGainAuto(int handle, int value);
KELVOX_API int Kelvox_GetBayerGainAuto(int handle, int *ok);
KELVOX_API int Kelvox_SetGamma(int handle, int value);
KELVOX_API int Kelvox_GetGamma(int handle, int *ok);
KELVOX_API int Kelvox_SetBayerMode(int handle, int value);
KELVOX_API int Kelvox_GetBayerMode(int handle, int *ok);
KELVOX_API int Kelvox_SetGlobalGain(int handle, int value);
KELVOX_API int Kelvox_GetGlobalGain(int handle, int *ok);
KELVOX_API int Kelvox_SetColorGainRed(int handle, int value);
KELVOX_API int Kelvox_GetColorGainRed(int handle, int *ok);
KELVOX_API int Kelvox_SetColorGainGreen1(int handle, int value);
KELVOX_API int Kelvox_GetColorGainGreen1(int handle, int *ok);
KELVOX_API int Kelvox_SetColorGainGreen2(int handle, int value);
KELVOX_API int Kelvox_GetColorGainGreen2(int handle, int *ok);
KELVOX_API int Kelvox_SetColorGainBlue(int handle, int value);
KELVOX_API int Kelvox_GetColorGainBlue(int handle, int *ok);
KELVOX_API int Kelvox_SetExposureTime(int handle, int value);
KELVOX_API int Kelvox_GetExposureTime(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayMode(int handle, int value);
KELVOX_API int Kelvox_GetGrayMode(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayGainR(int handle, int value);
KELVOX_API int Kelvox_GetGrayGainR(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayGainG1(int handle, int value);
KELVOX_API int Kelvox_GetGrayGainG1(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayGainG2(int handle, int value);
KELVOX_API int Kelvox_GetGrayGainG2(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayGainB(int handle, int value);
KELVOX_API int Kelvox_GetGrayGainB(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayOffsetR(int handle, int value);
KELVOX_API int Kelvox_GetGrayOffsetR(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayOffsetG1(int handle, int value);
KELVOX_API int Kelvox_GetGrayOffsetG1(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayOffsetG2(int handle, int value);
KELVOX_API int Kelvox_GetGrayOffsetG2(int handle, int *ok);
KELVOX_API int Kelvox_SetGrayOffsetB(int handle, int value);
KELVOX_API int Kelvox_GetGrayOffsetB(int handle, int *ok);
KELVOX_API int Kelvox_SetPeltier(int handle, int value);
KELVOX_API int Kelvox_GetPeltier(int handle, int *ok);
KELVOX_API int Kelvox_GetTemperature(int handle, int *ok);
KELVOX_API int Kelvox_SetDotFilter(int handle, int value);
KELVOX_API int Kelvox_GetDotFilter(int handle, int *ok);
KELVOX_API int Kelvox_SetMaskFilter(int handle, int value);
KELVOX_API int Kelvox_GetMaskFilter(int handle, int *ok);

/* Per-channel gain and offset (channel 1 to 4); this camera has none, so a valid channel is refused
   with KELVOX_ERR_PARAM and any other channel returns 0 without a record */
KELVOX_API int Kelvox_SetChannelGain(int handle, int channel, int value);
KELVOX_API int Kelvox_GetChannelGain(int handle, int channel, int *ok);
KELVOX_API int Kelvox_SetChannelOffset(int handle, int channel, int value);
KELVOX_API int Kelvox_GetChannelOffset(int handle, int channel, int *ok);

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
