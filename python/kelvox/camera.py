"""One camera opened through the library: settings, snapshots, live frames and image files."""

import collections
import ctypes
import os
import sys
import time
import weakref

import numpy as np

from . import _library, _messages
from .constants import (COLOR_MODES, KELVOX_ERR_DEVICE_LOST, KELVOX_ERR_FRAME, KELVOX_ERR_NOT_READY,
                        KELVOX_WM_FRAME, SAVE_FORMAT_NAMES, Filter, SaveFormat)
from .errors import KelvoxError

TOP_ROW_FIRST = 1

CameraInfo = collections.namedtuple(
    "CameraInfo", "max_width max_height gain_min gain_max color_gain_min color_gain_max "
                  "exposure_seconds_min exposure_seconds_max")


def frame_stride(width, bits):
    """Bytes from one row to the next as the library delivers them: padded to a multiple of 4."""
    return (width * (bits // 8) + 3) & ~3


def frame_array(buffer, width, height, bits, copy=True):
    """The top-down rows of `buffer` as an array: (height, width) for 8/16 bits, else (height, width, channels).

    Channels are in the library's order: blue, green, red (and a fourth for 32/64 bits).
    """
    if bits not in COLOR_MODES:
        raise ValueError("no colour mode of %d bits per pixel" % bits)
    channels, sample_bytes = COLOR_MODES[bits]
    packed = width * channels * sample_bytes
    rows = np.frombuffer(buffer, np.uint8, count=height * frame_stride(width, bits))
    rows = rows.reshape(height, -1)[:, :packed]
    dtype = np.dtype("<u2") if sample_bytes == 2 else np.dtype(np.uint8)
    shape = (height, width) if channels == 1 else (height, width, channels)
    return np.array(rows, order="C", copy=copy).view(dtype).reshape(shape)


def _format_of(path, format):
    if format is None:
        format = os.path.splitext(os.fsdecode(path))[1].lstrip(".")
        if not format:
            raise ValueError("no format given and %r has no extension" % (path,))
    if isinstance(format, str):
        try:
            return SAVE_FORMAT_NAMES[format.lower()]
        except KeyError:
            raise ValueError("unknown image format %r (one of %s)"
                             % (format, ", ".join(sorted(SAVE_FORMAT_NAMES)))) from None
    return int(format)


class Filters:
    """The filter values by identifier: ``cam.filters[Filter.GAMMA] = 120``, ``cam.filters[Filter.HUE]``.

    Keys are ``Filter`` members (or the plain ``KELVOX_FILTER_*`` numbers). A value the library
    refuses raises ``KelvoxError`` (``KELVOX_ERR_PARAM`` when out of range) and leaves it unchanged.
    """

    def __init__(self, camera):
        self._camera = camera

    def __getitem__(self, identifier):
        return self._camera._get("Kelvox_GetFilterValue", int(identifier))

    def __setitem__(self, identifier, value):
        self._camera._call("Kelvox_SetFilterValue", int(identifier), int(value))


class Camera:
    """A camera, opened on ``with`` (or ``open()``) and released on leaving it, also by an exception.

    ``index`` picks the camera among those attached, in the library's enumeration order. Use the
    object from one thread at a time.
    """

    def __init__(self, index=0):
        self.index = index
        self.name = None        # the camera's name in the enumeration, once open
        self.frame_rate = None  # frames per second as the library measures it (0 during the first second)
        self.filters = Filters(self)
        self._lib = None
        self._handle = 0
        self._info = None
        self._frames = None          # weak reference to the running frame iterator
        self._preview_buffer = None  # written by the library until its preview stops

    # ---- lifetime ----

    def __enter__(self):
        return self.open()

    def __exit__(self, *exc):
        self.close()
        return False

    def __del__(self):
        try:
            self.close()
        except Exception:  # interpreter shutdown may have taken the library away
            pass

    def open(self):
        """Makes a session and opens camera ``index``; raises KelvoxError (KELVOX_ERR_NO_CAMERA: not there)."""
        if self._handle:
            return self
        lib = _library.lib()
        handle = lib.Kelvox_Initialize(None)
        if not handle:
            raise KelvoxError(0, "Kelvox_Initialize", "the library could not make a session")
        self._lib, self._handle = lib, handle
        try:
            # What initialise recorded about opening a camera by itself does not concern the choice below.
            self._drain()
            names = _library.DEVICE_NAMES()
            count = lib.Kelvox_EnumDevice(handle, ctypes.byref(names))
            if count == 0 and self._drain():
                raise self._error("Kelvox_EnumDevice")
            self._call("Kelvox_SetDeviceNumber", self.index)
            self.name = names[self.index].value.decode("ascii", "replace") if 0 <= self.index < 10 else None
            info = _library.CAMERA_INFO(size=ctypes.sizeof(_library.CAMERA_INFO))
            self._call("Kelvox_GetCameraInfo", ctypes.byref(info))
            self._info = CameraInfo(info.max_width, info.max_height, info.gain_min, info.gain_max,
                                    info.color_gain_min, info.color_gain_max, info.exposure_seconds_min,
                                    info.exposure_seconds_max)
        except BaseException:
            self.close()
            raise
        return self

    def close(self):
        """Stops live frames, saves the camera's settings and releases the session. Safe to repeat."""
        frames = self._frames() if self._frames else None
        self._frames = None
        if frames is not None:
            frames.close()
        if self._handle:
            self._lib.Kelvox_Release(self._handle)  # stops any capture before the buffer goes
            self._handle = 0
        self._preview_buffer = None

    @property
    def handle(self):
        """The library's handle of this session (0 when closed), for calling exports directly."""
        return self._handle

    # ---- calls ----

    def _require_open(self, what):
        if not self._handle:
            raise KelvoxError(KELVOX_ERR_NOT_READY, what, "the camera is not open")

    def _drain(self):
        """Takes every code off the handle's history, newest first."""
        codes = []
        for _ in range(32):  # the history is 20 deep
            code = self._lib.Kelvox_GetLastError(self._handle)
            if code == 0:
                break
            codes.append(code)
        return codes

    def _error(self, function, detail=""):
        codes = self._drain()
        return KelvoxError(codes[0] if codes else 0, function, detail, codes)

    def _call(self, function, *args):
        """An export returning 0 on failure; the history is emptied first so the code read after is its own."""
        self._require_open(function)
        self._drain()
        result = getattr(self._lib, function)(self._handle, *args)
        if not result:
            raise self._error(function)
        return result

    def _get(self, function, *args):
        """A getter reporting success through its last `ok` argument."""
        self._require_open(function)
        self._drain()
        ok = ctypes.c_int(0)
        value = getattr(self._lib, function)(self._handle, *args, ctypes.byref(ok))
        if not ok.value:
            raise self._error(function)
        return value

    # ---- settings ----

    @property
    def info(self):
        """Sensor size and the gain and exposure ranges (CameraInfo)."""
        self._require_open("Kelvox_GetCameraInfo")
        return self._info

    @property
    def serial(self):
        """The serial number stored in the camera ('' when none is)."""
        text = ctypes.create_string_buffer(32)
        self._call("Kelvox_ReadSerialNumberA", text, len(text))
        return text.value.decode("ascii", "replace")

    @property
    def exposure(self):
        """Exposure time in seconds, as the camera holds it (it rounds to its line time)."""
        return self._get("Kelvox_GetExposureTimeEx")

    @exposure.setter
    def exposure(self, seconds):
        self._call("Kelvox_SetExposureTimeEx", float(seconds))

    @property
    def gain(self):
        """The camera's global gain in its own steps (``info.gain_min``..``info.gain_max``); the colour gains follow it."""
        return self.filters[Filter.GLOBAL_GAIN]

    @gain.setter
    def gain(self, value):
        self.filters[Filter.GLOBAL_GAIN] = value

    @property
    def color_mode(self):
        """Bits per pixel of delivered frames: 8 or 16 (Bayer/grey samples), 24, 32, 48 or 64 (colour).

        A change applies from the next capture start (snapshot or ``frames()``).
        """
        self._require_open("Kelvox_GetColorMode")
        bits = self._lib.Kelvox_GetColorMode(self._handle)
        if bits < 0:
            raise self._error("Kelvox_GetColorMode")
        return bits

    @color_mode.setter
    def color_mode(self, bits):
        self._call("Kelvox_SetColorMode", int(bits))

    @property
    def capture_window(self):
        """(x, y, width, height) of the capture window on the sensor, as set."""
        self._require_open("Kelvox_GetCaptureWindowEx")
        values = [ctypes.c_int() for _ in range(6)]
        self._lib.Kelvox_GetCaptureWindowEx(self._handle, *[ctypes.byref(v) for v in values])
        _, x, width, _, y, height = (v.value for v in values)
        return x, y, width, height

    @capture_window.setter
    def capture_window(self, window):
        x, y, width, height = (int(v) for v in window)
        info = self.info
        self._call("Kelvox_SetCaptureWindowEx", info.max_width, x, width, info.max_height, y, height)

    @property
    def size(self):
        """(width, height) of the frames the capture window gives."""
        self._require_open("Kelvox_Width")
        return self._lib.Kelvox_Width(self._handle), self._lib.Kelvox_Height(self._handle)

    # ---- frames ----

    def snapshot(self):
        """One frame, processed in the colour mode, as a new array (top row first; see ``frame_array``).

        Not during live frames (``KELVOX_ERR_NOT_READY``).
        """
        width, height = self.size
        bits = self.color_mode
        buffer = np.empty(height * frame_stride(width, bits), np.uint8)
        self._call("Kelvox_SnapShot", buffer.ctypes.data, buffer.nbytes, TOP_ROW_FIRST)
        return frame_array(buffer, width, height, bits, copy=False)

    def frames(self, timeout=2.0):
        """Live frames as arrays (as ``snapshot()`` gives them), for as long as the consumer iterates.

        Each frame waits up to ``timeout`` seconds (else KelvoxError ``KELVOX_ERR_FRAME``). The
        iteration ends by itself when the camera is lost (unplugged). Leaving the loop (break, an
        exception) or closing the iterator stops the live preview; so does a new ``frames()`` or
        ``close()``. When frames come faster than they are taken, the newest is given and the ones
        between are skipped. Iterate on one thread: on Windows the frame messages go to that thread.
        """
        self._require_open("Kelvox_CallBackPreview")
        previous = self._frames() if self._frames else None
        if previous is not None:
            previous.close()
        frames = self._live_frames(float(timeout))
        self._frames = weakref.ref(frames)
        return frames

    def _live_frames(self, timeout):
        window = _messages.message_window()
        started = False
        try:
            width, height = self.size
            bits = self.color_mode
            buffer = np.zeros(height * frame_stride(width, bits), np.uint8)
            self._preview_buffer = buffer
            self._call("Kelvox_SetPreviewWindow", None, 0, 0, 0, 0)  # frames only come here, no window shows them
            self._call("Kelvox_CallBackPreview", window.handle, buffer.ctypes.data, buffer.nbytes, TOP_ROW_FIRST)
            started = True
            while True:
                frame, lost = self._next_frame(window, buffer, timeout)
                if frame is not None:
                    yield frame
                if lost:
                    return
        finally:
            if self._handle:
                # After a failed stop the buffer stays referenced until close() releases the session.
                if not started or self._lib.Kelvox_StopPreview(self._handle):
                    self._preview_buffer = None
                self._drain()  # the frame failures were reported by messages
            window.close()

    def _next_frame(self, window, buffer, timeout):
        """(frame or None, camera lost) from the messages up to the newest; waits for at least one."""
        deadline = time.monotonic() + timeout
        while True:
            message = window.take((deadline - time.monotonic()) * 1000)
            if message is None:
                raise KelvoxError(KELVOX_ERR_FRAME, "Kelvox_CallBackPreview", "no frame within %g s" % timeout)
            newest, lost = None, False
            for _ in range(256):  # those queued meanwhile, without waiting
                kind, wparam, lparam = message
                if kind == KELVOX_WM_FRAME:
                    if wparam:
                        newest = wparam
                    elif lparam == KELVOX_ERR_DEVICE_LOST:
                        lost = True
                    elif lparam != KELVOX_ERR_FRAME:  # a failed transfer is retried with the next frame
                        raise KelvoxError(lparam, "Kelvox_CallBackPreview", "reported by a frame message")
                message = window.take(0)
                if message is None:
                    break
            if newest is None and not lost:
                continue
            frame = None
            if newest is not None:
                # The library rewrites the buffer with the next frame without waiting: copy at once.
                info = _library.FRAME_INFO.from_address(newest)
                frame = frame_array(buffer, info.width, info.height, info.bits_per_pixel, copy=True)
                self.frame_rate = info.frame_rate / 10.0
            return frame, lost

    # ---- files ----

    def save(self, path, format=None):
        """Writes the last processed image (snapshot or live frame), top row first.

        ``format``: a ``SaveFormat``, or a name ('bmp', 'raw', 'png', 'tiff', 'jpeg' = 'jpeg100',
        'jpeg70', 'jpeg20'); by default taken from the file's extension. Without an image yet it
        raises KelvoxError ``KELVOX_ERR_NOT_READY``; a file that cannot be written gives code 0.
        """
        format = _format_of(path, format)
        if sys.platform == "win32":
            self._call("Kelvox_SaveImageW", os.fsdecode(path), format)
        else:
            self._call("Kelvox_SaveImage", os.fsencode(path), format)


def list_cameras():
    """Names of the attached cameras, in the order ``Camera(index)`` counts them."""
    lib = _library.lib()
    handle = lib.Kelvox_Initialize(None)
    if not handle:
        raise KelvoxError(0, "Kelvox_Initialize", "the library could not make a session")
    try:
        names = _library.DEVICE_NAMES()
        count = lib.Kelvox_EnumDevice(handle, ctypes.byref(names))
        return [names[i].value.decode("ascii", "replace") for i in range(count)]
    finally:
        lib.Kelvox_Release(handle)


__all__ = ["Camera", "CameraInfo", "Filters", "SaveFormat", "frame_array", "frame_stride", "list_cameras"]
