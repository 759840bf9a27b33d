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

/* Every export but Kelvox_GetDllVersion takes a handle from Kelvox_Initialize; for a handle that is not open it
   returns 0 (or the -1 / 0.0 noted) and reports nothing. The error codes named below are recorded in the handle's
   history and posted as KELVOX_WM_ERROR to the notification window when there is one; "notified only" codes are
   posted without entering the history, and without a notification window go to the calling thread's queue.
   "No device" means initialise could not make the camera device object. */

/* Lifecycle and errors */
/* New session (notify_window may be NULL); opens the camera when exactly one is attached. The handle, or 0 when it
   cannot be made; initialise failures (KELVOX_ERR_BUFFER, KELVOX_ERR_NO_CAMERA) go to the new handle's history. */
KELVOX_API int Kelvox_Initialize(KELVOX_HWND notify_window);
/* Stops capture, saves the camera's settings, closes it and frees the session: 1, or 0 for an unknown handle */
KELVOX_API int Kelvox_Release(int handle);
/* Newest recorded code, taken off the history (20 deep); KELVOX_SUCCESS when there is none */
KELVOX_API int Kelvox_GetLastError(int handle);
/* KELVOX_DLL_VERSION; needs no handle */
KELVOX_API int Kelvox_GetDllVersion(void);

/* Camera selection and information */
/* Attached cameras' names ("KelvoxNx40-USB3-Q5_01" on) into up to 10 entries, the rest emptied: the count;
   0 with KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_PARAM (NULL array) */
KELVOX_API int Kelvox_EnumDevice(int handle, char names[10][256]);
/* As Kelvox_EnumDevice, converted with the ANSI code page (an entry that cannot be converted is left empty) */
KELVOX_API int Kelvox_EnumDeviceW(int handle, wchar_t names[10][256]);
/* Name of camera `index` (from 0); size in bytes, over 18 and room for the terminator: 1, or 0 with
   KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_PARAM (NULL or short buffer), KELVOX_ERR_NO_CAMERA (not present) */
KELVOX_API int Kelvox_GetDeviceName(int handle, int index, char *name, int size);
/* As Kelvox_GetDeviceName, size in characters; KELVOX_ERR_CONVERT (not KELVOX_ERR_PARAM) for a NULL or short buffer */
KELVOX_API int Kelvox_GetDeviceNameW(int handle, int index, wchar_t *name, int size);
/* Saves the open camera's settings, opens camera `index` and applies the session's settings to it: 1 (also when
   already open), or 0 with KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_NO_CAMERA (not present, open failed) */
KELVOX_API int Kelvox_SetDeviceNumber(int handle, int index);
/* Fills *info, whose size the host sets: 1, or 0 with KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_PARAM (NULL),
   KELVOX_ERR_BUFFER (size below 36) */
KELVOX_API int Kelvox_GetCameraInfo(int handle, KELVOX_CAMERA_INFO *info);
/* Serial number from the EEPROM, at most 31 characters: 1, also when none is stored (text untouched); 0 when the
   EEPROM cannot be read (nothing recorded), KELVOX_ERR_PARAM (size below 32, NULL), KELVOX_ERR_NOT_READY */
KELVOX_API int Kelvox_ReadSerialNumberA(int handle, char *text, int size);
/* As Kelvox_ReadSerialNumberA, size in characters (no minimum); KELVOX_ERR_CONVERT for a NULL or short buffer */
KELVOX_API int Kelvox_ReadSerialNumberW(int handle, wchar_t *text, int size);
/* Always 0 */
KELVOX_API int Kelvox_GetStatus(int handle);

/* Geometry and format */
/* Capture window on the 1920 x 1200 sensor (the totals are only kept): 1, or 0 with KELVOX_ERR_NOT_READY (no device),
   KELVOX_ERR_PARAM (size not settable), KELVOX_ERR_CAPTURE_WINDOW (off the sensor; stored all the same) */
KELVOX_API int Kelvox_SetCaptureWindowEx(int handle, int total_width, int x, int width, int total_height, int y,
                                         int height);
/* The stored window; any pointer may be NULL; always 1 */
KELVOX_API int Kelvox_GetCaptureWindowEx(int handle, int *total_width, int *x, int *width, int *total_height, int *y,
                                         int *height);
/* Stored size preset (per camera) of effective size width x height: 1, or 0 with KELVOX_ERR_NOT_READY (no device),
   KELVOX_ERR_WINDOW (no such preset); a preset off the sensor records KELVOX_ERR_CAPTURE_WINDOW, 1920 x 1200 is used */
KELVOX_API int Kelvox_SetCaptureWindow(int handle, int width, int height);
KELVOX_API int Kelvox_Width(int handle);  /* effective width of the capture window, pixels */
KELVOX_API int Kelvox_Height(int handle); /* effective height of the capture window, pixels */
/* Bits per pixel 8, 16, 24, 32, 48 or 64, from the next capture start: 1, or 0 with KELVOX_ERR_PARAM */
KELVOX_API int Kelvox_SetColorMode(int handle, int bits_per_pixel);
/* Bits per pixel of the colour mode; -1 for an unknown handle or a bad stored mode */
KELVOX_API int Kelvox_GetColorMode(int handle);
/* Only 0 (full size) is accepted: 1; any other code 0, nothing recorded */
KELVOX_API int Kelvox_SetSubSample(int handle, int code);
/* The subsample code; -1 for an unknown handle */
KELVOX_API int Kelvox_GetSubSample(int handle);
/* Live preview's pause before each frame wait, in ms (default 10): 1; 0 for a negative value, nothing recorded */
KELVOX_API int Kelvox_SetWaitTime(int handle, int milliseconds);
/* The pause in ms; -1 for an unknown handle */
KELVOX_API int Kelvox_GetWaitTime(int handle);
/* No sampling rate here: *rate (may be NULL) gets 0; always 0 */
KELVOX_API int Kelvox_GetSamplingRate(int handle, int *rate);
/* No video format here: *format (may be NULL) gets 0; always 0 */
KELVOX_API int Kelvox_GetVideoFormat(int handle, int *format);
/* The sensor keeps its own rate (`rate` is ignored): 1 with a camera open, else 0; nothing recorded */
KELVOX_API int Kelvox_SetSamplingRate(int handle, int rate);

/* Capture and delivery. Row order 0 gives the bottom row first, non-zero the top row first; a buffer needs
   height x stride bytes, the stride being width x bytes per pixel rounded up to a multiple of 4 (a short one in
   Kelvox_SnapShot or Kelvox_GetImage records KELVOX_ERR_BUFFER twice). During live preview a failed frame, a short
   buffer or a lost camera records KELVOX_ERR_FRAME, KELVOX_ERR_BUFFER or KELVOX_ERR_DEVICE_LOST and posts
   KELVOX_WM_FRAME to the callback window with wParam 0 and that code.
   The preview window is a child of the placement's parent at (x, y, width, height) of its client area; with no
   parent and any value non-zero, a top-level window sized to the image and centred (default 0, 0, 1920, 1200);
   with no parent and all four 0, none. Frames are scaled to the client area. Without a window system (native
   Linux) the default is none, and any other placement fails the start with KELVOX_ERR_WINDOW. */
/* Prepares capture on demand for Kelvox_SnapShot: 1, also when prepared; 0 with KELVOX_ERR_NOT_READY (no device,
   live preview), KELVOX_ERR_NO_CAMERA, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_BUFFER */
KELVOX_API int Kelvox_Capture(int handle);
/* Live preview, no window made: 1, also when running; 0 with KELVOX_ERR_NOT_READY (no device, capture prepared),
   KELVOX_ERR_NO_CAMERA, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_BUFFER, KELVOX_ERR_DEVICE_IO, KELVOX_ERR_THREAD */
KELVOX_API int Kelvox_StartPreview(int handle);
/* Live preview posting KELVOX_WM_FRAME to callback_window, each frame copied to buffer (NULL or size 0: none): 1;
   0 with KELVOX_ERR_WINDOW, or a Kelvox_StartPreview error followed by KELVOX_ERR_FRAME (then closed) */
KELVOX_API int Kelvox_CallBackPreview(int handle, KELVOX_HWND callback_window, void *buffer, int size, int row_order);
/* Live preview into the preview window only, no messages or buffer: 1, or 0 with KELVOX_ERR_WINDOW, or a
   Kelvox_StartPreview error followed by KELVOX_ERR_FRAME */
KELVOX_API int Kelvox_Preview(int handle);
/* Stops live preview, prepared capture and any recording: 1, or 0 with KELVOX_ERR_NOT_READY (no device) */
KELVOX_API int Kelvox_StopPreview(int handle);
/* Stops as Kelvox_StopPreview and closes the preview window; always 1 (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_Close(int handle);
/* Placement of the preview window for the next start: 1, or 0 with KELVOX_ERR_NOT_READY (no device) */
KELVOX_API int Kelvox_SetPreviewWindow(int handle, KELVOX_HWND parent, int x, int y, int width, int height);
/* One frame captured (3 s wait), processed and copied (NULL or size 0: none): 1, or 0 with KELVOX_ERR_NOT_READY
   (no device, live preview), KELVOX_ERR_NO_CAMERA, KELVOX_ERR_CAPTURE_WINDOW, KELVOX_ERR_FRAME, KELVOX_ERR_BUFFER */
KELVOX_API int Kelvox_SnapShot(int handle, void *buffer, int size, int row_order);
/* Copies the colour mode's output image as last processed: 1, or 0 with KELVOX_ERR_NOT_READY (no device),
   KELVOX_ERR_BUFFER (NULL or short buffer, no image yet) */
KELVOX_API int Kelvox_GetImage(int handle, void *buffer, int size, int row_order);

/* Image files: the last processed image, top row first in every format. Format 0 BMP, 1 raw (the rows as held:
   top row first, padded to 4 bytes, no header), 2/3/4 JPEG of quality 100/70/20 (8-bit grey or 24-bit colour from
   the high bytes), 5 PNG, 6 TIFF. A failed write leaves no unfinished file. */
#define KELVOX_SAVE_BMP     0
#define KELVOX_SAVE_RAW     1
#define KELVOX_SAVE_JPEG100 2
#define KELVOX_SAVE_JPEG70  3
#define KELVOX_SAVE_JPEG20  4
#define KELVOX_SAVE_PNG     5
#define KELVOX_SAVE_TIFF    6
/* Name in the ANSI code page: 1 when written whole; 0 with KELVOX_ERR_NOT_READY (no device, no frame processed yet
   or since Kelvox_Close), or 0 with nothing recorded for another format or a failed write */
KELVOX_API int Kelvox_SaveImage(int handle, const char *file_name, int format);
/* As Kelvox_SaveImage; KELVOX_ERR_CONVERT when the name does not convert to at most 1023 bytes */
KELVOX_API int Kelvox_SaveImageW(int handle, const wchar_t *file_name, int format);

/* AVI recording: starts live preview (as Kelvox_StartPreview; no frame messages and no host buffer from here on)
   and records its processed frames into an uncompressed AVI file (24-bit DIB rows, bottom-up, one stream, idx1
   index) for `duration_ms` counted from the first frame (unsigned: -1 records until the capture stops). When the
   time is up the file is finished with the frame rate measured over the recording, and live preview goes on.
   Stopping the capture first (Kelvox_StopPreview, Kelvox_Close) ends the recording without index and zero sizes
   in the header; that file is closed by the next recording or Kelvox_Release. With `show_window` set and a
   placement from Kelvox_SetPreviewWindow the frames are shown in the preview window too. A write that fails during
   the recording (a full disk), or a file reaching the format's 4 GiB, ends it with a finished file of the whole
   frames written and records KELVOX_ERR_CONVERT. */
/* 1 once recording has started; 0 with KELVOX_ERR_PARAM (NULL or empty name), KELVOX_ERR_CONVERT (already recording,
   capture start or file creation failed), KELVOX_ERR_WINDOW, KELVOX_ERR_THREAD */
KELVOX_API int Kelvox_Record(int handle, const char *file_name, int duration_ms, int show_window);
/* As Kelvox_Record; KELVOX_ERR_CONVERT also when the name cannot be converted */
KELVOX_API int Kelvox_RecordW(int handle, const wchar_t *file_name, int duration_ms, int show_window);

/* Defect mask: reference frames of the whole sensor (1920 x 1200), a dark and a bright one at 8 and at 16 bits,
   from which hot pixels (dark above 192 / 12288) and dead pixels (bright below 64 / 4096) are mapped. The mask
   file holds the four references (13,824,040 bytes); a failed save leaves no file, a load of a file that is not
   whole and valid changes nothing. All need an open camera (else KELVOX_ERR_NOT_READY); the W forms convert the
   name with the thread's code page (KELVOX_ERR_CONVERT when they cannot). */
/* Last raw frame (16-bit in the 16, 48 and 64-bit modes) as the dark (0) or bright (1) reference: 1, also when it
   is not a full sensor frame (nothing taken); 0 with KELVOX_ERR_CONVERT (other `which`), KELVOX_ERR_NOT_READY */
KELVOX_API int Kelvox_UpdateMaskData(int handle, int which);
/* Writes the four references: 1, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_MASK_FILE */
KELVOX_API int Kelvox_SaveMaskFile(int handle, const char *file_name);
/* As Kelvox_SaveMaskFile; also KELVOX_ERR_CONVERT */
KELVOX_API int Kelvox_SaveMaskFileW(int handle, const wchar_t *file_name);
/* Reads the four references and rebuilds the defect maps: 1, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_MASK_FILE */
KELVOX_API int Kelvox_LoadMaskFile(int handle, const char *file_name);
/* As Kelvox_LoadMaskFile; also KELVOX_ERR_CONVERT */
KELVOX_API int Kelvox_LoadMaskFileW(int handle, const wchar_t *file_name);

/* Configuration file: a list of pairs of little-endian 32-bit values (8 bytes each; an incomplete last record is
   ignored) that the session keeps. */
/* Replaces the list: 1, or 0 for a NULL name or unreadable file (list unchanged), nothing recorded; needs no camera */
KELVOX_API int Kelvox_LoadConfigFileA(int handle, const char *file_name);
/* As Kelvox_LoadConfigFileA; KELVOX_ERR_CONVERT when the name cannot be converted (thread's code page) */
KELVOX_API int Kelvox_LoadConfigFileW(int handle, const wchar_t *file_name);

/* Settings dialogs, modal over `owner` (English, or Japanese on a Japanese system); 1 once closed, OK or Cancel.
   They need an open camera and a window system (none on Linux). */
/* Stream format and size presets, stored per camera; stops a running capture and restarts it after: 1, or 0 with
   KELVOX_ERR_NOT_READY (no camera open), KELVOX_ERR_WINDOW (no dialog shown) */
KELVOX_API int Kelvox_SetCameraDlg(int handle, KELVOX_HWND owner);
/* Gains, exposure, mirrors, automatic exposure, changed live and put back on Cancel: 1, or 0 with
   KELVOX_ERR_NOT_READY, KELVOX_ERR_WINDOW */
KELVOX_API int Kelvox_SetAnalogDlg(int handle, KELVOX_HWND owner);
/* Picture settings, grey gains and offsets, changed live and put back on Cancel: 1, or 0 with KELVOX_ERR_NOT_READY,
   KELVOX_ERR_WINDOW */
KELVOX_API int Kelvox_SetImageDlg(int handle, KELVOX_HWND owner);

/* Exposure, temperature, mirror and other settings; *ok may be NULL */
/* Exposure in seconds, held by the camera to 0.000023427..0.039625: 1, 0 when refused (nothing recorded), or 0 with
   KELVOX_ERR_NOT_READY, KELVOX_ERR_UNSUPPORTED; afterwards Kelvox_GetRealExposureTime counts whole seconds only */
KELVOX_API int Kelvox_SetExposureTimeEx(int handle, double seconds);
/* Exposure in seconds from the camera, -1.0 when not read; *ok 1 or 0. KELVOX_ERR_NOT_READY, KELVOX_ERR_UNSUPPORTED */
KELVOX_API double Kelvox_GetExposureTimeEx(int handle, int *ok);
/* Exposure in us, truncated to 100 us units within the camera's range (1..396 units): 1, or 0 with
   KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_PARAM */
KELVOX_API int Kelvox_SetRealExposureTime(int handle, int microseconds);
/* Cached exposure in us (100 us units x 100), *ok 1; 0 and *ok 0 with KELVOX_ERR_NOT_READY (no device) */
KELVOX_API int Kelvox_GetRealExposureTime(int handle, int *ok);
/* Temperature in degrees C, 0.0 when not read; *ok 1 or 0. Records KELVOX_SUCCESS after a read, else
   KELVOX_ERR_CONVERT (read failed), KELVOX_ERR_UNSUPPORTED (no sensor for it, as here), KELVOX_ERR_NOT_READY */
KELVOX_API double Kelvox_GetTemperatureEx(int handle, int *ok);
/* Horizontal mirror on (non-zero) or off, kept for reopening: 1, or 0 with KELVOX_ERR_NOT_READY (no device) */
KELVOX_API int Kelvox_SetMirrorH(int handle, int on);
/* Vertical mirror, as Kelvox_SetMirrorH: 1, or 0 with KELVOX_ERR_NOT_READY (no device) notified only */
KELVOX_API int Kelvox_SetMirrorV(int handle, int on);
/* Horizontal mirror flag, 1 or 0; 0 with KELVOX_ERR_NOT_READY (no device) */
KELVOX_API int Kelvox_GetMirrorH(int handle);
/* Vertical mirror flag, 1 or 0; 0 with KELVOX_ERR_NOT_READY (no device) notified only */
KELVOX_API int Kelvox_GetMirrorV(int handle);
/* Automatic exposure: 0 off, 1 by exposure, 2 by gain; needs no device: 1, or 0 with KELVOX_ERR_PARAM notified only */
KELVOX_API int Kelvox_SetAutoIris(int handle, int mode);
/* The automatic exposure mode, *ok 1; needs no device */
KELVOX_API int Kelvox_GetAutoIris(int handle, int *ok);
KELVOX_API int Kelvox_SetConfigFilter(int handle); /* none here: -1 with KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_GetConfigFilter(int handle); /* none here: -1 with KELVOX_ERR_UNSUPPORTED */
/* None here: 0 with KELVOX_ERR_UNSUPPORTED notified only (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_SetInternalCorrection(int handle, int value);
/* None here: 0 with KELVOX_ERR_UNSUPPORTED notified only, *ok untouched (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_GetInternalCorrection(int handle, int *ok);

/* Filter values (identifiers above) */
/* Sets value `id`: 1, or 0 with KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_PARAM (out of range, unknown id, 101),
   KELVOX_ERR_UNSUPPORTED (100, 105, 106 here), KELVOX_ERR_DEVICE_IO (105, 106); 106 records KELVOX_SUCCESS */
KELVOX_API int Kelvox_SetFilterValue(int handle, int id, int value);
/* Value of `id`, *ok (may be NULL) 1; 0 and *ok 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_PARAM (unknown id, 28);
   KELVOX_ERR_UNSUPPORTED (100: -1; 101: -1, *ok 0; 105, 106: 0), KELVOX_ERR_DEVICE_IO; 105, 106 record success */
KELVOX_API int Kelvox_GetFilterValue(int handle, int id, int *ok);

/* Filter values by name: Kelvox_SetFilterValue / Kelvox_GetFilterValue with the identifier shown, and their
   results and errors (a set outside the range records KELVOX_ERR_PARAM) */
KELVOX_API int Kelvox_SetBrightness(int handle, int value);       /* id 1, -255..255 */
KELVOX_API int Kelvox_GetBrightness(int handle, int *ok);         /* id 1 */
KELVOX_API int Kelvox_SetContrast(int handle, int value);         /* id 2, -127..127 */
KELVOX_API int Kelvox_GetContrast(int handle, int *ok);           /* id 2 */
KELVOX_API int Kelvox_SetHue(int handle, int value);              /* id 3, -360..360 */
KELVOX_API int Kelvox_GetHue(int handle, int *ok);                /* id 3 */
KELVOX_API int Kelvox_SetSaturation(int handle, int value);       /* id 4, -255..255 */
KELVOX_API int Kelvox_GetSaturation(int handle, int *ok);         /* id 4 */
KELVOX_API int Kelvox_SetSharpness(int handle, int value);        /* id 5, 0..30 */
KELVOX_API int Kelvox_GetSharpness(int handle, int *ok);          /* id 5 */
KELVOX_API int Kelvox_SetBayerGainRGB(int handle, int value);     /* id 6, red bits 0-7, green 8-15, blue 16-23 */
KELVOX_API int Kelvox_GetBayerGainRGB(int handle, int *ok);       /* id 6, packed the same way */
KELVOX_API int Kelvox_SetBayerGainRed(int handle, int value);     /* id 7, 0..400 */
KELVOX_API int Kelvox_GetBayerGainRed(int handle, int *ok);       /* id 7 */
KELVOX_API int Kelvox_SetBayerGainGreen(int handle, int value);   /* id 8, 0..400 */
KELVOX_API int Kelvox_GetBayerGainGreen(int handle, int *ok);     /* id 8 */
KELVOX_API int Kelvox_SetBayerGainBlue(int handle, int value);    /* id 9, 0..400 */
KELVOX_API int Kelvox_GetBayerGainBlue(int handle, int *ok);      /* id 9 */
KELVOX_API int Kelvox_SetBayerGainAuto(int handle, int value);    /* id 10, non-zero is on */
KELVOX_API int Kelvox_GetBayerGainAuto(int handle, int *ok);      /* id 10, 1 or 0 */
KELVOX_API int Kelvox_SetGamma(int handle, int value);            /* id 11, 0..200 */
KELVOX_API int Kelvox_GetGamma(int handle, int *ok);              /* id 11 */
KELVOX_API int Kelvox_SetBayerMode(int handle, int value);        /* id 12, 0..3 */
KELVOX_API int Kelvox_GetBayerMode(int handle, int *ok);          /* id 12 */
KELVOX_API int Kelvox_SetGlobalGain(int handle, int value);       /* id 13, 0..480; the colour gains follow */
KELVOX_API int Kelvox_GetGlobalGain(int handle, int *ok);         /* id 13, read from the camera */
KELVOX_API int Kelvox_SetColorGainRed(int handle, int value);     /* id 14, the camera's colour-gain range */
KELVOX_API int Kelvox_GetColorGainRed(int handle, int *ok);       /* id 14, read from the camera */
KELVOX_API int Kelvox_SetColorGainGreen1(int handle, int value);  /* id 15, as 14 */
KELVOX_API int Kelvox_GetColorGainGreen1(int handle, int *ok);    /* id 15, read from the camera */
KELVOX_API int Kelvox_SetColorGainGreen2(int handle, int value);  /* id 16, as 14 */
KELVOX_API int Kelvox_GetColorGainGreen2(int handle, int *ok);    /* id 16, read from the camera */
KELVOX_API int Kelvox_SetColorGainBlue(int handle, int value);    /* id 17, as 14 */
KELVOX_API int Kelvox_GetColorGainBlue(int handle, int *ok);      /* id 17, read from the camera */
KELVOX_API int Kelvox_SetExposureTime(int handle, int value);     /* id 18, units of 100 us, 1..396 */
KELVOX_API int Kelvox_GetExposureTime(int handle, int *ok);       /* id 18, units of 100 us, from the camera */
KELVOX_API int Kelvox_SetGrayMode(int handle, int value);         /* id 19, 0..2 */
KELVOX_API int Kelvox_GetGrayMode(int handle, int *ok);           /* id 19 */
KELVOX_API int Kelvox_SetGrayGainR(int handle, int value);        /* id 20, 0..255 */
KELVOX_API int Kelvox_GetGrayGainR(int handle, int *ok);          /* id 20 */
KELVOX_API int Kelvox_SetGrayGainG1(int handle, int value);       /* id 21, 0..255 */
KELVOX_API int Kelvox_GetGrayGainG1(int handle, int *ok);         /* id 21 */
KELVOX_API int Kelvox_SetGrayGainG2(int handle, int value);       /* id 22, 0..255 */
KELVOX_API int Kelvox_GetGrayGainG2(int handle, int *ok);         /* id 22 */
KELVOX_API int Kelvox_SetGrayGainB(int handle, int value);        /* id 23, 0..255 */
KELVOX_API int Kelvox_GetGrayGainB(int handle, int *ok);          /* id 23 */
KELVOX_API int Kelvox_SetGrayOffsetR(int handle, int value);      /* id 24, -255..255 */
KELVOX_API int Kelvox_GetGrayOffsetR(int handle, int *ok);        /* id 24 */
KELVOX_API int Kelvox_SetGrayOffsetG1(int handle, int value);     /* id 25, -255..255 */
KELVOX_API int Kelvox_GetGrayOffsetG1(int handle, int *ok);       /* id 25 */
KELVOX_API int Kelvox_SetGrayOffsetG2(int handle, int value);     /* id 26, -255..255 */
KELVOX_API int Kelvox_GetGrayOffsetG2(int handle, int *ok);       /* id 26 */
KELVOX_API int Kelvox_SetGrayOffsetB(int handle, int value);      /* id 27, -255..255 */
KELVOX_API int Kelvox_GetGrayOffsetB(int handle, int *ok);        /* id 27 */
KELVOX_API int Kelvox_SetPeltier(int handle, int value);          /* id 100; none here: 0, KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_GetPeltier(int handle, int *ok);            /* id 100; none here: -1, KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_GetTemperature(int handle, int *ok);        /* id 101: -1, *ok 0, KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_SetDotFilter(int handle, int value);        /* id 102, 0..1 */
KELVOX_API int Kelvox_GetDotFilter(int handle, int *ok);          /* id 102 */
KELVOX_API int Kelvox_SetMaskFilter(int handle, int value);       /* id 103, 0..1 */
KELVOX_API int Kelvox_GetMaskFilter(int handle, int *ok);         /* id 103 */

/* Per-channel gain and offset, channel 1 to 4 (identifiers 29-36, which the filter values refuse): this camera
   has none. A channel outside 1 to 4 returns 0 with nothing recorded (and *ok 0). */
/* 0 with KELVOX_ERR_PARAM (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_SetChannelGain(int handle, int channel, int value);
/* 0, *ok 0, with KELVOX_ERR_PARAM (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_GetChannelGain(int handle, int channel, int *ok);
/* 0 with KELVOX_ERR_PARAM (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_SetChannelOffset(int handle, int channel, int value);
/* 0, *ok 0, with KELVOX_ERR_PARAM (KELVOX_ERR_NOT_READY without a device) */
KELVOX_API int Kelvox_GetChannelOffset(int handle, int channel, int *ok);

/* Registers, I/O port and EEPROM; *ok (may be NULL) is 1 after a successful read, else 0 */
/* Sensor register (low 8 address bits): its value, or 0 with KELVOX_ERR_NOT_READY (no device), KELVOX_ERR_DEVICE_IO */
KELVOX_API int Kelvox_ReadRegister(int handle, int address, int *ok);
/* As Kelvox_ReadRegister with the full 32-bit address */
KELVOX_API int Kelvox_ReadRegisterEx(int handle, unsigned int address, int *ok);
/* Sensor register (low 8 address bits) := low 16 value bits: 1, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_DEVICE_IO */
KELVOX_API int Kelvox_WriteRegister(int handle, int address, int value);
/* As Kelvox_WriteRegister with the full 32-bit address and value */
KELVOX_API int Kelvox_WriteRegisterEx(int handle, unsigned int address, unsigned int value);
/* FPGA register (low 8 address bits): its value, 0..255, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_DEVICE_IO */
KELVOX_API int Kelvox_Fpga_ReadRegister(int handle, int address, int *ok);
/* FPGA register (low 8 address bits) := low 8 value bits: 1, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_DEVICE_IO */
KELVOX_API int Kelvox_Fpga_WriteRegister(int handle, int address, int value);
/* I/O port (FPGA register 7) into *value: 1, or 0 with KELVOX_ERR_NOT_READY, KELVOX_ERR_PARAM (NULL, read failed),
   both notified only */
KELVOX_API int Kelvox_GetIOPort(int handle, unsigned char *value);
/* I/O port gets the low 8 bits: 1, 0 when the write fails (nothing recorded), KELVOX_ERR_NOT_READY notified only */
KELVOX_API int Kelvox_SetIOPort(int handle, int value);
/* EEPROM byte (low 12 address bits): 0..255, or 0 with KELVOX_ERR_NOT_READY notified only (no device, read failed) */
KELVOX_API int Kelvox_ReadSromID(int handle, int address, int *ok);
/* EEPROM byte (low 12 address bits) gets the low 8 value bits, rewritten until it reads back (10 tries): 1, or 0
   when the first write fails; KELVOX_ERR_NOT_READY notified only for that and each failed read-back */
KELVOX_API int Kelvox_WriteSromID(int handle, int address, int value);

/* Functions this camera does not have */
KELVOX_API int Kelvox_Fps(int handle);         /* 0, KELVOX_ERR_UNSUPPORTED notified only */
KELVOX_API int Kelvox_GetHalfClock(int handle); /* 0, KELVOX_ERR_UNSUPPORTED notified only */
KELVOX_API int Kelvox_SetHalfClock(int handle); /* 0, KELVOX_ERR_UNSUPPORTED notified only */
KELVOX_API int Kelvox_SetCrossbar(int handle);  /* 0, KELVOX_ERR_UNSUPPORTED notified only */
KELVOX_API int Kelvox_Trigger(int handle);      /* 0, KELVOX_ERR_UNSUPPORTED notified only */
KELVOX_API int Kelvox_SendText(int handle);     /* 0 with KELVOX_ERR_UNSUPPORTED */
KELVOX_API int Kelvox_ReceiveText(int handle);  /* 0 with KELVOX_ERR_UNSUPPORTED */

#endif
