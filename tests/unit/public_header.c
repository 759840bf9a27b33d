/* The public header as a C host sees it: built as C89 and as C99 with every warning an error.
   Including it compiles every declaration, so one a C compiler refuses fails the build. */
#include "kelvox/kelvox.h"

int kelvox_header_compiles(void);

int kelvox_header_compiles(void) {
    KELVOX_FRAME_INFO frame;
    KELVOX_CAMERA_INFO camera;
    frame.width = 0;
    camera.size = (int)sizeof camera;
    return Kelvox_GetDllVersion() == KELVOX_DLL_VERSION && frame.width == 0 && camera.size > 0;
}
