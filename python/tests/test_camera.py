import contextlib

import numpy as np
import pytest

import kelvox
from kelvox import Filter, KelvoxError

# bits per pixel -> (trailing shape, dtype)
MODES = {8: ((), np.uint8), 16: ((), np.uint16), 24: ((3,), np.uint8), 32: ((4,), np.uint8),
         48: ((3,), np.uint16), 64: ((4,), np.uint16)}
X, Y, WIDTH, HEIGHT = 100, 50, 638, 479  # rows of 638 pixels are padded at 8 and 24 bits


def padded_rows(bits):
    return HEIGHT, (WIDTH * bits // 8 + 3) & ~3


@pytest.fixture
def stamp():
    return False  # frame numbers in the top row, to tell live frames apart


@pytest.fixture
def sim_camera(plug, stamp):
    camera = plug(serial="PY-1", photometric=False, stamp=stamp)
    # Every row different, so a frame upside down or shifted by a row cannot match.
    kelvox.sim.set_raw_scene(camera, np.random.default_rng(7).integers(0, 4096, (1200, 1920)))
    return camera


@pytest.fixture
def cam(sim_camera):
    with kelvox.Camera() as cam:
        cam.capture_window = (X, Y, WIDTH, HEIGHT)
        yield cam


@pytest.mark.parametrize("bits", sorted(MODES))
def test_snapshot_is_the_c_snapshot_top_row_first(cam, lib, bits):
    cam.color_mode = bits
    height, stride = padded_rows(bits)
    c_frame = np.zeros(height * stride, np.uint8)
    assert lib.Kelvox_SnapShot(cam.handle, c_frame.ctypes.data, c_frame.nbytes, 0) == 1  # bottom row first
    expected = c_frame.reshape(height, stride)[::-1, :WIDTH * bits // 8]

    image = cam.snapshot()
    trailing, dtype = MODES[bits]
    assert image.shape == (HEIGHT, WIDTH) + trailing and image.dtype == dtype
    assert np.array_equal(image.view(np.uint8).reshape(HEIGHT, -1), expected)


@pytest.mark.parametrize("name, value, expected", [
    ("exposure", 0.005, pytest.approx(0.005, abs=1e-4)),
    ("gain", 120, 120),
    ("color_mode", 48, 48),
    ("capture_window", (0, 8, 320, 240), (0, 8, 320, 240)),
])
def test_settings_read_back(cam, name, value, expected):
    setattr(cam, name, value)
    assert getattr(cam, name) == expected


def test_filters_read_back_by_identifier(cam):
    cam.filters[Filter.GAMMA] = 150
    cam.filters[kelvox.KELVOX_FILTER_HUE] = -20
    assert (cam.filters[Filter.GAMMA], cam.filters[Filter.HUE]) == (150, -20)


class Boom(Exception):
    pass


@pytest.mark.parametrize("body", ["returns", "raises", "raises during live frames"])
def test_leaving_the_block_releases_the_handle(plug, lib, body):
    plug(serial="PY-1")
    handles = []
    with pytest.raises(Boom) if body != "returns" else contextlib.nullcontext():
        with kelvox.Camera() as cam:
            handles.append(cam.handle)
            assert lib.Kelvox_GetColorMode(cam.handle) > 0
            if body == "raises during live frames":
                for _ in cam.frames():
                    raise Boom
            if body == "raises":
                raise Boom
    assert lib.Kelvox_GetColorMode(handles[0]) == -1  # no longer a handle of the library
    assert lib.Kelvox_Release(handles[0]) == 0
    with kelvox.Camera() as again:  # the camera itself was let go too
        assert again.snapshot().size


@pytest.mark.parametrize("stamp", [True])
@pytest.mark.parametrize("bits", [16, 48])  # rows without padding: a frame could be a view of the live buffer
@pytest.mark.parametrize("ending", ["break", "unplug"])
def test_live_frames(cam, sim_camera, bits, ending):
    cam.color_mode = bits
    frames = []
    for frame in cam.frames(timeout=2):
        frames.append(frame)
        if len(frames) == 3:
            if ending == "break":
                break
            kelvox.sim.detach(sim_camera)  # the loop has to end by itself, without a time-out
    trailing, dtype = MODES[bits]
    assert len(frames) >= 3
    assert all(f.shape == (HEIGHT, WIDTH) + trailing and f.dtype == dtype for f in frames)
    assert not np.array_equal(frames[0][0, :4], frames[-1][0, :4])  # copies of different frames
    if ending == "break":
        # The preview has stopped (a snapshot is refused during one); below the stamp (spread over
        # three rows by demosaicing) a frame equals a snapshot.
        assert np.array_equal(cam.snapshot()[3:], frames[-1][3:])


@pytest.mark.parametrize("bits", [8, 48])
def test_save_writes_the_last_image(cam, tmp_path, bits):
    cam.color_mode = bits
    image = cam.snapshot()
    cam.save(tmp_path / "frame.raw")  # format from the extension: the rows as held, padded
    cam.save(str(tmp_path / "frame.img"), "png")
    height, stride = padded_rows(bits)
    raw = np.fromfile(tmp_path / "frame.raw", np.uint8).reshape(height, stride)[:, :WIDTH * bits // 8]
    assert np.array_equal(raw, image.view(np.uint8).reshape(HEIGHT, -1))
    assert (tmp_path / "frame.img").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def _snapshot_during_live_frames(cam, tmp_path):
    live = cam.frames()
    next(live)
    cam.snapshot()


def _live_frames_after_unplug(cam, tmp_path):
    kelvox.sim.detach_all()
    next(cam.frames())


@pytest.mark.parametrize("action, name", [
    (lambda cam, tmp: setattr(cam, "color_mode", 12), "KELVOX_ERR_PARAM"),
    (lambda cam, tmp: cam.filters.__setitem__(Filter.HUE, 361), "KELVOX_ERR_PARAM"),
    (lambda cam, tmp: setattr(cam, "capture_window", (1800, 0, 640, 480)), "KELVOX_ERR_CAPTURE_WINDOW"),
    (lambda cam, tmp: cam.save(tmp / "none.bmp"), "KELVOX_ERR_NOT_READY"),
    (lambda cam, tmp: (cam.snapshot(), cam.save(tmp / "no-such-dir" / "a.bmp")), "KELVOX_SUCCESS"),  # no code
    (_snapshot_during_live_frames, "KELVOX_ERR_NOT_READY"),
    (_live_frames_after_unplug, "KELVOX_ERR_FRAME"),  # the newest code: a failed start records its cause first
    (lambda cam, tmp: kelvox.Camera(1).open(), "KELVOX_ERR_NO_CAMERA"),
], ids=["colour mode", "filter range", "window off sensor", "save without image", "unwritable file",
        "snapshot while live",
        "live after unplug", "camera index"])
def test_errors_carry_the_library_code_and_name(cam, tmp_path, action, name):
    with pytest.raises(KelvoxError) as caught:
        action(cam, tmp_path)
    assert (caught.value.code, caught.value.name) == (getattr(kelvox, name), name)


def test_index_picks_among_attached_cameras(plug):
    plug(serial="PY-A")
    plug(serial="PY-B")
    assert len(kelvox.list_cameras()) == 2
    serials = set()
    for index in range(2):
        with kelvox.Camera(index) as cam:
            serials.add(cam.serial)
    assert serials == {"PY-A", "PY-B"}
