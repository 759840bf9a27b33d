"""Loading the SDK's shared library and declaring the prototypes the binding calls."""

import ctypes
import ctypes.util
import os
import sys
import threading

LIBRARY_NAME = "ZorezoRer_Av40_IVA3_V5"
ENVIRONMENT_VARIABLE = "KELVOX_LIBRARY"

c_int, c_uint, c_double, c_void_p, c_char_p = (ctypes.c_int, ctypes.c_uint, ctypes.c_double,
                                               ctypes.c_void_p, ctypes.c_char_p)
c_int_p = ctypes.POINTER(ctypes.c_int)


class FRAME_INFO(ctypes.Structure):
    _fields_ = [("reserved", c_int), ("width", c_int), ("height", c_int), ("bits_per_pixel", c_int),
                ("frame_rate", c_int), ("buffer", c_void_p)]


class CAMERA_INFO(ctypes.Structure):
    _fields_ = [("size", c_int), ("max_width", c_int), ("max_height", c_int),
                ("gain_min", c_int), ("gain_max", c_int), ("color_gain_min", c_int), ("color_gain_max", c_int),
                ("exposure_min", c_int), ("exposure_max", c_int),
                ("exposure_seconds_min", c_double), ("exposure_seconds_max", c_double)]


class SIM_CAMERA(ctypes.Structure):
    _fields_ = [("size", c_int), ("vendor_id", ctypes.c_ushort), ("product_id", ctypes.c_ushort),
                ("serial", ctypes.c_char * 32), ("srom_id", ctypes.c_ubyte), ("firmware_version", ctypes.c_ushort),
                ("ready_flag_mode", ctypes.c_ubyte), ("ready_after_polls", c_int), ("scene", c_int),
                ("scene_value", c_int), ("paced", c_int), ("noise", c_int), ("stamp", c_int),
                ("photometric", c_int)]


class SIM_MSG(ctypes.Structure):
    _fields_ = [("window", c_void_p), ("message", c_uint), ("wParam", ctypes.c_size_t),
                ("lParam", ctypes.c_ssize_t)]


DEVICE_NAMES = (ctypes.c_char * 256) * 10

# name: (restype, argtypes). Every export the binding calls is declared here, so a wrong
# argument fails in ctypes instead of reaching the library as garbage.
_SDK = {
    "Kelvox_Initialize": (c_int, [c_void_p]),
    "Kelvox_Release": (c_int, [c_int]),
    "Kelvox_GetLastError": (c_int, [c_int]),
    "Kelvox_GetDllVersion": (c_int, []),
    "Kelvox_EnumDevice": (c_int, [c_int, ctypes.POINTER(DEVICE_NAMES)]),
    "Kelvox_SetDeviceNumber": (c_int, [c_int, c_int]),
    "Kelvox_GetCameraInfo": (c_int, [c_int, ctypes.POINTER(CAMERA_INFO)]),
    "Kelvox_ReadSerialNumberA": (c_int, [c_int, c_char_p, c_int]),
    "Kelvox_SetCaptureWindowEx": (c_int, [c_int] * 7),
    "Kelvox_GetCaptureWindowEx": (c_int, [c_int] + [c_int_p] * 6),
    "Kelvox_Width": (c_int, [c_int]),
    "Kelvox_Height": (c_int, [c_int]),
    "Kelvox_SetColorMode": (c_int, [c_int, c_int]),
    "Kelvox_GetColorMode": (c_int, [c_int]),
    "Kelvox_SetPreviewWindow": (c_int, [c_int, c_void_p, c_int, c_int, c_int, c_int]),
    "Kelvox_CallBackPreview": (c_int, [c_int, c_void_p, c_void_p, c_int, c_int]),
    "Kelvox_StopPreview": (c_int, [c_int]),
    "Kelvox_SnapShot": (c_int, [c_int, c_void_p, c_int, c_int]),
    "Kelvox_SaveImage": (c_int, [c_int, c_char_p, c_int]),
    "Kelvox_SaveImageW": (c_int, [c_int, ctypes.c_wchar_p, c_int]),
    "Kelvox_SetExposureTimeEx": (c_int, [c_int, c_double]),
    "Kelvox_GetExposureTimeEx": (c_double, [c_int, c_int_p]),
    "Kelvox_SetFilterValue": (c_int, [c_int, c_int, c_int]),
    "Kelvox_GetFilterValue": (c_int, [c_int, c_int, c_int_p]),
}

# Exported by simulator builds only; the host-side message queues exist outside Windows only.
_SIM = {
    "KelvoxSim_DefaultCamera": (None, [ctypes.POINTER(SIM_CAMERA)]),
    "KelvoxSim_Attach": (c_int, [ctypes.POINTER(SIM_CAMERA)]),
    "KelvoxSim_Detach": (c_int, [c_int]),
    "KelvoxSim_DetachAll": (None, []),
    "KelvoxSim_SetRawScene": (c_int, [c_int, ctypes.POINTER(ctypes.c_ushort), c_int, c_int]),
    "KelvoxSim_CreateMessageWindow": (c_void_p, []),
    "KelvoxSim_DestroyMessageWindow": (c_int, [c_void_p]),
    "KelvoxSim_PeekMessage": (c_int, [c_void_p, ctypes.POINTER(SIM_MSG)]),
    "KelvoxSim_WaitMessage": (c_int, [c_void_p, ctypes.POINTER(SIM_MSG), c_uint]),
}

_lock = threading.Lock()
_loaded = None


def library_path():
    """What is loaded: $KELVOX_LIBRARY when set, else the library's name for the loader to find."""
    override = os.environ.get(ENVIRONMENT_VARIABLE)
    if override:
        return override
    if sys.platform == "win32":
        # ctypes no longer searches PATH for a bare DLL name; find_library does.
        return ctypes.util.find_library(LIBRARY_NAME) or LIBRARY_NAME + ".dll"
    return "lib%s.so" % LIBRARY_NAME


def _declare(library, table, required):
    for name, (restype, argtypes) in table.items():
        try:
            function = getattr(library, name)
        except AttributeError:
            if required:
                raise OSError("%s does not export %s" % (library._name, name)) from None
            continue
        function.restype = restype
        function.argtypes = argtypes


def lib():
    """The loaded library, loaded and declared on first use."""
    global _loaded
    with _lock:
        if _loaded is None:
            path = library_path()
            try:
                library = ctypes.CDLL(path)
            except OSError as error:
                raise OSError("cannot load the Kelvox library %r (set %s to its full path): %s"
                              % (path, ENVIRONMENT_VARIABLE, error)) from error
            _declare(library, _SDK, required=True)
            _declare(library, _SIM, required=False)
            _loaded = library
        return _loaded


def has(name):
    """Whether the loaded library exports `name` (simulator builds add the KelvoxSim_ ones)."""
    return hasattr(lib(), name)
