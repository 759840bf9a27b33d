"""Python binding of the Kelvox camera SDK (ctypes over the SDK's library, frames as NumPy arrays).

    import kelvox
    with kelvox.Camera(0) as cam:
        cam.color_mode = 24
        image = cam.snapshot()            # (height, width, 3) uint8, blue-green-red
        for frame in cam.frames(timeout=2):
            ...

The library is ZorezoRer_Av40_IVA3_V5.dll (Windows) or libZorezoRer_Av40_IVA3_V5.so, found by
the loader, or at the full path in the environment variable KELVOX_LIBRARY.
"""

from . import sim
from ._library import ENVIRONMENT_VARIABLE, library_path
from .camera import Camera, CameraInfo, Filters, frame_array, frame_stride, list_cameras
from .constants import *  # noqa: F401,F403 - the SDK's KELVOX_* constants, Filter, SaveFormat
from .constants import ERROR_NAMES, Filter, SaveFormat
from .errors import KelvoxError


def library():
    """The loaded ctypes library, for calling an export the binding does not wrap."""
    from ._library import lib
    return lib()


def library_version():
    """Kelvox_GetDllVersion of the loaded library."""
    return library().Kelvox_GetDllVersion()
