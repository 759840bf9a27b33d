"""The simulated camera of simulator builds (kelvox_sim.h): plug cameras in and out, set their picture.

    cam_id = kelvox.sim.attach(serial="TEST-1", scene=kelvox.sim.SCENE_RAMP)
    ...
    kelvox.sim.detach(cam_id)   # unplugged: a running frames() loop ends
"""

import ctypes

import numpy as np

from . import _library
from .errors import KelvoxError

SCENE_CHART, SCENE_FLAT, SCENE_RAMP, SCENE_RAW = 0, 1, 2, 3
SENSOR_WIDTH, SENSOR_HEIGHT = 1920, 1200


def _lib():
    lib = _library.lib()
    if not hasattr(lib, "KelvoxSim_Attach"):
        raise KelvoxError(0, "KelvoxSim_Attach", "this is not a simulator build of the library")
    return lib


def available():
    """Whether the loaded library is a simulator build."""
    return hasattr(_library.lib(), "KelvoxSim_Attach")


def attach(serial="", scene=SCENE_CHART, scene_value=0, paced=True, noise=0, stamp=False, photometric=True):
    """Plugs in a simulated camera; returns its id.

    ``scene_value``: the 12-bit level of SCENE_FLAT. ``paced``: the sensor's frame timing (else as
    fast as possible). ``noise``: seeded noise amplitude in 12-bit units. ``stamp``: the frame
    number in the first 4 samples of row 0. ``photometric``: brightness follows exposure and gain
    (else every sample is the scene value exactly).
    """
    lib = _lib()
    config = _library.SIM_CAMERA()
    lib.KelvoxSim_DefaultCamera(ctypes.byref(config))
    config.size = ctypes.sizeof(config)
    config.serial = serial.encode("ascii")[:31]
    config.scene, config.scene_value = scene, scene_value
    config.paced, config.noise, config.stamp, config.photometric = int(paced), noise, int(stamp), int(photometric)
    camera = lib.KelvoxSim_Attach(ctypes.byref(config))
    if camera < 0:
        raise KelvoxError(0, "KelvoxSim_Attach", "no room for another simulated camera")
    return camera


def detach(camera):
    """Unplugs the camera now: True, or False when there is no such camera."""
    return bool(_lib().KelvoxSim_Detach(camera))


def detach_all():
    """Unplugs every simulated camera."""
    _lib().KelvoxSim_DetachAll()


def set_raw_scene(camera, samples):
    """Shows `samples` (1200 x 1920 values of 12 bits, row 0 first, mirrors off) from now on."""
    samples = np.ascontiguousarray(samples, dtype=np.uint16)
    if samples.shape != (SENSOR_HEIGHT, SENSOR_WIDTH):
        raise ValueError("a raw scene is %d x %d samples, not %s" % (SENSOR_HEIGHT, SENSOR_WIDTH, samples.shape))
    pointer = samples.ctypes.data_as(ctypes.POINTER(ctypes.c_ushort))
    if not _lib().KelvoxSim_SetRawScene(camera, pointer, SENSOR_WIDTH, SENSOR_HEIGHT):
        raise KelvoxError(0, "KelvoxSim_SetRawScene", "no simulated camera %d" % camera)
