"""The one exception type of the binding."""

from .constants import ERROR_NAMES


class KelvoxError(Exception):
    """A call into the library failed.

    ``code`` is the library's error code (``Kelvox_GetLastError`` right after the failing call;
    0, ``KELVOX_SUCCESS``, when the library recorded none for this failure), ``name`` its constant
    name (``"KELVOX_ERR_PARAM"``), ``function`` the export that failed, and ``history`` every code
    the call left, newest first (a failed start records its cause under ``KELVOX_ERR_FRAME``).
    """

    def __init__(self, code, function, detail="", history=()):
        self.code = int(code)
        self.name = ERROR_NAMES.get(self.code, "KELVOX_ERR_%d" % self.code)
        self.function = function
        self.history = tuple(history) or (self.code,)
        text = "%s failed: %s (%d)" % (function, self.name, self.code)
        if detail:
            text += ", " + detail
        elif self.code == 0:
            text += ", the library recorded no error code"
        super().__init__(text)
