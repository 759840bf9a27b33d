"""The SDK's constants under their C names, and enumerations of the filter and file formats."""

import enum as _enum

KELVOX_WM_FRAME = 0x8002
KELVOX_WM_ERROR = 0x8003

KELVOX_SUCCESS = 0
KELVOX_ERR_NOT_READY = 1
KELVOX_ERR_NO_CAMERA = 2
KELVOX_ERR_THREAD = 3
KELVOX_ERR_WINDOW = 4
KELVOX_ERR_BUFFER = 5
KELVOX_ERR_DEVICE_IO = 6
KELVOX_ERR_CAPTURE_WINDOW = 7
KELVOX_ERR_FRAME = 8
KELVOX_ERR_PARAM = 9
KELVOX_ERR_UNSUPPORTED = 11
KELVOX_ERR_CONVERT = 12
KELVOX_ERR_DEVICE_LOST = 13
KELVOX_ERR_MASK_FILE = 14

ERROR_NAMES = {value: name for name, value in globals().items()
               if name == "KELVOX_SUCCESS" or name.startswith("KELVOX_ERR_")}


class Filter(_enum.IntEnum):
    """Identifiers of the filter values (``Camera.filters``); the ranges are those the library accepts."""
    BRIGHTNESS = 1          # -255..255
    CONTRAST = 2            # -127..127
    HUE = 3                 # -360..360
    SATURATION = 4          # -255..255
    SHARPNESS = 5           # 0..30
    BAYER_GAIN_RGB = 6      # red bits 0-7, green 8-15, blue 16-23
    BAYER_GAIN_RED = 7      # 0..400
    BAYER_GAIN_GREEN = 8    # 0..400
    BAYER_GAIN_BLUE = 9     # 0..400
    BAYER_GAIN_AUTO = 10    # non-zero is on
    GAMMA = 11              # 0..200
    BAYER_MODE = 12         # 0..3
    GLOBAL_GAIN = 13        # the camera's gain range
    COLOR_GAIN_RED = 14     # the camera's colour-gain range, as 15-17
    COLOR_GAIN_GREEN1 = 15
    COLOR_GAIN_GREEN2 = 16
    COLOR_GAIN_BLUE = 17
    EXPOSURE = 18           # units of 100 us
    GRAY_MODE = 19          # 0..2
    GRAY_GAIN_R = 20        # 0..255, as 21-23
    GRAY_GAIN_G1 = 21
    GRAY_GAIN_G2 = 22
    GRAY_GAIN_B = 23
    GRAY_OFFSET_R = 24      # -255..255, as 25-27
    GRAY_OFFSET_G1 = 25
    GRAY_OFFSET_G2 = 26
    GRAY_OFFSET_B = 27
    GRAY_CALIBRATE = 28     # set only
    PELTIER = 100
    TEMPERATURE = 101       # get only
    DOT = 102               # 0 or 1: defect-pixel correction
    MASK = 103              # 0 or 1: shading correction
    GAIN_MODE = 104
    CONTROL_D = 105
    BLACK_LEVEL = 106


for _f in Filter:
    globals()["KELVOX_FILTER_" + _f.name] = _f
del _f


class SaveFormat(_enum.IntEnum):
    """File formats of ``Camera.save``."""
    BMP = 0
    RAW = 1       # the rows as held: top row first, padded to 4 bytes, no header
    JPEG100 = 2
    JPEG70 = 3
    JPEG20 = 4
    PNG = 5
    TIFF = 6


KELVOX_SAVE_BMP, KELVOX_SAVE_RAW, KELVOX_SAVE_JPEG100, KELVOX_SAVE_JPEG70, KELVOX_SAVE_JPEG20, \
    KELVOX_SAVE_PNG, KELVOX_SAVE_TIFF = tuple(SaveFormat)

# File-name extensions (and spelled-out names) save() understands.
SAVE_FORMAT_NAMES = {"bmp": SaveFormat.BMP, "raw": SaveFormat.RAW, "jpg": SaveFormat.JPEG100,
                     "jpeg": SaveFormat.JPEG100, "jpeg100": SaveFormat.JPEG100, "jpeg70": SaveFormat.JPEG70,
                     "jpeg20": SaveFormat.JPEG20, "png": SaveFormat.PNG, "tif": SaveFormat.TIFF,
                     "tiff": SaveFormat.TIFF}

# Colour modes: bits per pixel -> (channels, bytes per sample); channel order is the library's
# (blue, green, red[, fourth]) as in a DIB.
COLOR_MODES = {8: (1, 1), 16: (1, 2), 24: (3, 1), 32: (4, 1), 48: (3, 2), 64: (4, 2)}
