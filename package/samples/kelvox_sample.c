/* A complete host in one file: opens the first camera, runs live preview into its own buffer for
   a number of frames, reading the frame messages, then takes a snapshot and saves it as PNG.

   Windows (MinGW):  x86_64-w64-mingw32-gcc -I include samples/kelvox_sample.c -L lib -lZorezoRer_Av40_IVA3_V5 -o sample.exe
   Windows (MSVC):   cl /I include samples\kelvox_sample.c lib\ZorezoRer_Av40_IVA3_V5.lib user32.lib
   Linux:            cc samples/kelvox_sample.c $(pkg-config --cflags --libs kelvox) -o sample

   Usage: sample [frames] [file.png]   (defaults: 30 frames, snapshot.png) */
#include <stdio.h>
#include <stdlib.h>

#include "kelvox/kelvox.h"
#ifdef _WIN32
#include <windows.h>
#else
#include "kelvox/kelvox_sim.h" /* the message queue helpers that stand in for windows on Linux */
#endif

/* The library posts its messages; a host only needs a window that can receive them. */
static KELVOX_HWND make_message_window(void) {
#ifdef _WIN32
    return CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, GetModuleHandleA(NULL), NULL);
#else
    return KelvoxSim_CreateMessageWindow();
#endif
}

static void destroy_message_window(KELVOX_HWND window) {
#ifdef _WIN32
    DestroyWindow(window);
#else
    KelvoxSim_DestroyMessageWindow(window);
#endif
}

/* Waits up to timeout_ms for the next message of `window`: 1 with its number and parameters, 0 on time-out. */
static int next_message(KELVOX_HWND window, unsigned timeout_ms, unsigned *message, void **wparam, long *lparam) {
#ifdef _WIN32
    MSG m;
    DWORD start = GetTickCount();
    for (;;) {
        if (PeekMessageA(&m, window, 0, 0, PM_REMOVE)) {
            *message = m.message;
            *wparam = (void *)m.wParam;
            *lparam = (long)m.lParam;
            return 1;
        }
        DWORD waited = GetTickCount() - start;
        if (waited >= timeout_ms) return 0;
        MsgWaitForMultipleObjects(0, NULL, FALSE, timeout_ms - waited, QS_ALLPOSTMESSAGE);
    }
#else
    KELVOX_SIM_MSG m;
    if (!KelvoxSim_WaitMessage(window, &m, timeout_ms)) return 0;
    *message = m.message;
    *wparam = (void *)m.wParam;
    *lparam = (long)m.lParam;
    return 1;
#endif
}

static int fail(int handle, const char *what) {
    fprintf(stderr, "%s failed: error %d\n", what, handle ? Kelvox_GetLastError(handle) : -1);
    if (handle) Kelvox_Release(handle);
    return 1;
}

int main(int argc, char **argv) {
    int frames_wanted = argc > 1 ? atoi(argv[1]) : 30;
    const char *png = argc > 2 ? argv[2] : "snapshot.png";
    char names[10][256];
    int handle, cameras, width, height, stride, size, frames = 0, failures = 0;
    unsigned char *buffer;
    KELVOX_HWND window;

    printf("library version 0x%08X\n", (unsigned)Kelvox_GetDllVersion());
    handle = Kelvox_Initialize(NULL); /* opens the camera by itself when exactly one is attached */
    if (!handle) return fail(0, "Kelvox_Initialize");
    cameras = Kelvox_EnumDevice(handle, names);
    if (cameras < 1) return fail(handle, "Kelvox_EnumDevice (no camera attached)");
    if (!Kelvox_SetDeviceNumber(handle, 0)) return fail(handle, "Kelvox_SetDeviceNumber");
    printf("camera 0 of %d: %s\n", cameras, names[0]);

    /* 24-bit colour; each row padded to a multiple of 4 bytes. */
    if (!Kelvox_SetColorMode(handle, 24)) return fail(handle, "Kelvox_SetColorMode");
    width = Kelvox_Width(handle);
    height = Kelvox_Height(handle);
    stride = (width * 3 + 3) / 4 * 4;
    size = stride * height;
    buffer = (unsigned char *)malloc((size_t)size);
    window = make_message_window();
    if (!buffer || !window) return fail(handle, "allocation");

    /* Each frame lands in `buffer` (top row first) and KELVOX_WM_FRAME follows; wParam points to the
       frame's KELVOX_FRAME_INFO, or is NULL when the frame failed, with the error code in lParam. */
    if (!Kelvox_CallBackPreview(handle, window, buffer, size, 1)) return fail(handle, "Kelvox_CallBackPreview");
    while (frames < frames_wanted) {
        unsigned message;
        void *wparam;
        long lparam;
        if (!next_message(window, 5000, &message, &wparam, &lparam)) break; /* no frame for 5 s */
        if (message != KELVOX_WM_FRAME) continue;
        if (wparam == NULL) {
            fprintf(stderr, "frame failed: error %ld\n", lparam);
            if (++failures > 3 || lparam == KELVOX_ERR_DEVICE_LOST) break;
            continue;
        }
        {
            const KELVOX_FRAME_INFO *info = (const KELVOX_FRAME_INFO *)wparam;
            /* The library measures the frame rate over each second: 0 during the first. */
            if (++frames % 10 == 0)
                printf("frame %d: %d x %d, %d bits, %.1f frames/s, first pixel B=%u G=%u R=%u\n", frames, info->width,
                       info->height, info->bits_per_pixel, info->frame_rate / 10.0, buffer[0], buffer[1], buffer[2]);
        }
    }
    Kelvox_StopPreview(handle);
    destroy_message_window(window);
    free(buffer);
    if (frames < frames_wanted) return fail(handle, "live preview");

    /* A single frame, processed like the preview's, then written by the library. */
    if (!Kelvox_SnapShot(handle, NULL, 0, 1)) return fail(handle, "Kelvox_SnapShot");
    if (!Kelvox_SaveImage(handle, png, KELVOX_SAVE_PNG)) return fail(handle, "Kelvox_SaveImage");
    printf("%d frames received; snapshot saved as %s\n", frames, png);
    Kelvox_Release(handle);
    return 0;
}
