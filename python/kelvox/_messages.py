"""A window that receives what the library posts, and the pump that reads it.

The library posts KELVOX_WM_FRAME to the callback window. On Windows that is a message-only
window whose queue belongs to the thread that made it, so it must be made and pumped on the
thread that iterates. Elsewhere the simulator build offers host-side queues (kelvox_sim.h).
"""

import ctypes
import sys
import time

from . import _library
from .constants import KELVOX_ERR_UNSUPPORTED
from .errors import KelvoxError


class _SimQueue:
    def __init__(self):
        if not _library.has("KelvoxSim_CreateMessageWindow"):
            raise KelvoxError(KELVOX_ERR_UNSUPPORTED, "KelvoxSim_CreateMessageWindow",
                              "this library has no host message queues for frame messages")
        self._lib = _library.lib()
        self.handle = self._lib.KelvoxSim_CreateMessageWindow()
        self._msg = _library.SIM_MSG()

    def take(self, timeout_ms):
        """(message, wParam, lParam) of the oldest message, waiting up to timeout_ms; None on time-out."""
        if self._lib.KelvoxSim_WaitMessage(self.handle, ctypes.byref(self._msg), max(0, int(timeout_ms))):
            return self._msg.message, self._msg.wParam, self._msg.lParam
        return None

    def close(self):
        if self.handle:
            self._lib.KelvoxSim_DestroyMessageWindow(self.handle)
            self.handle = None


class _Win32Queue:
    HWND_MESSAGE = -3
    PM_REMOVE = 1
    QS_ALLINPUT = 0x04FF
    SLICE_MS = 50  # bounds each wait, since a wait only wakes for input newer than the last look

    def __init__(self):
        from ctypes import wintypes
        u = ctypes.WinDLL("user32", use_last_error=True)
        u.CreateWindowExW.restype = wintypes.HWND
        u.CreateWindowExW.argtypes = [wintypes.DWORD, wintypes.LPCWSTR, wintypes.LPCWSTR, wintypes.DWORD,
                                      ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_int, wintypes.HWND,
                                      wintypes.HMENU, wintypes.HINSTANCE, wintypes.LPVOID]
        u.DestroyWindow.restype = wintypes.BOOL
        u.DestroyWindow.argtypes = [wintypes.HWND]
        u.PeekMessageW.restype = wintypes.BOOL
        u.PeekMessageW.argtypes = [ctypes.POINTER(wintypes.MSG), wintypes.HWND, wintypes.UINT, wintypes.UINT,
                                   wintypes.UINT]
        u.TranslateMessage.restype = wintypes.BOOL
        u.TranslateMessage.argtypes = [ctypes.POINTER(wintypes.MSG)]
        u.DispatchMessageW.restype = ctypes.c_ssize_t
        u.DispatchMessageW.argtypes = [ctypes.POINTER(wintypes.MSG)]
        u.MsgWaitForMultipleObjects.restype = wintypes.DWORD
        u.MsgWaitForMultipleObjects.argtypes = [wintypes.DWORD, ctypes.c_void_p, wintypes.BOOL, wintypes.DWORD,
                                                wintypes.DWORD]
        self._u = u
        self._msg = wintypes.MSG()
        # The predefined STATIC class needs no registration; as a message-only window it is never shown.
        self.handle = u.CreateWindowExW(0, "STATIC", None, 0, 0, 0, 0, 0, self.HWND_MESSAGE, None, None, None)
        if not self.handle:
            raise ctypes.WinError(ctypes.get_last_error())

    def take(self, timeout_ms):
        u, msg = self._u, self._msg
        end = time.monotonic() + max(0, timeout_ms) / 1000.0
        while True:
            # Other messages of this thread (the library's notifications among them) are handled
            # as any message loop would, so the queue does not fill up.
            while u.PeekMessageW(ctypes.byref(msg), None, 0, 0, self.PM_REMOVE):
                if msg.hWnd == self.handle:
                    return msg.message, msg.wParam, msg.lParam
                u.TranslateMessage(ctypes.byref(msg))
                u.DispatchMessageW(ctypes.byref(msg))
            left = end - time.monotonic()
            if left <= 0:
                return None
            u.MsgWaitForMultipleObjects(0, None, False, min(self.SLICE_MS, int(left * 1000) + 1), self.QS_ALLINPUT)

    def close(self):
        if self.handle:
            self._u.DestroyWindow(self.handle)
            self.handle = None


def message_window():
    """A new callback window for this thread, with take(timeout_ms) and close()."""
    return _Win32Queue() if sys.platform == "win32" else _SimQueue()
